; Chunky, one byte per pixel from plane address 0 (the tile ramp of bank 0),
; in a window of lines 32-199 and columns 112-383. Every pixel lands one row
; lower and one column further right than it was fetched for: frame row 16
; (line 32) stays black, column 16 (window column 112) is black, and the
; picture fills frame columns 17-287 and rows 17-183.
        include "common.inc"
script: dw      TILES
        db      SOURCE_RAMP, 0
        dw      WINDOWS             ; left 112, right 256 + 8 * 16,
        db      0x78, 0x45          ; top 0x40 / 2, bottom 160 + 5 * 8
        dw      VIDCTRL             ; chunky
        db      0x80
        dw      STOP

        include "lib.inc"
