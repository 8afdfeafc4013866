; Planar, two planes at 0x00000 and 0x00400, in a window of lines 40-199 and
; columns 112-415 (frame rows 24-183, columns 16-319) with blank-left-16: the
; first 16 window columns are black too, so the picture starts at frame
; column 32.
        include "common.inc"
script: dw      TILES
        db      SOURCE_RAMP, 0
        dw      PLANE + 4 + 1       ; plane 1 at 0x00400
        db      0x04
        dw      WINDOWS             ; left 112, right 256 + 10 * 16,
        db      0x7A, 0x55          ; top 0x50 / 2, bottom 160 + 5 * 8
        dw      VIDCTRL             ; planar, blank left 16
        db      0x02
        dw      MODEPARAM
        db      1
        dw      STOP

        include "lib.inc"
