; The legacy dual playfield of tile_legacy_dual with inhibit and
; blank-left-16, in a window of lines 48-231 and columns 128-447 (frame rows
; 32-215, columns 32-351). Inhibit makes colour 0 of the front playfield
; opaque, so the back playfield no longer shows through the checker holes;
; the first 16 window columns are black.
        include "common.inc"
script:
        include "legacy_dual.inc"
        dw      WINDOWS             ; left 128, right 256 + 12 * 16,
        db      0x8C, 0x69          ; top 0x60 / 2, bottom 160 + 9 * 8
        dw      VIDCTRL             ; as tile_legacy_dual, plus inhibit and blank left 16
        db      0xD7
        dw      STOP

        include "lib.inc"
