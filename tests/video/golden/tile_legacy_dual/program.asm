; Legacy tile map, dual playfield without swap: playfield 0 at the back (map
; buffer 0, tile bank 0: opaque ramp tiles), playfield 1 in front (map buffer
; 1, tile bank 1: ramp tiles with a 4 x 4 checker cut out, through which the
; back shows). The window covers the whole shown area.
        include "common.inc"
script:
        include "legacy_dual.inc"
        dw      WINDOWS
        db      FULL_WIDTH, FULL_HEIGHT
        dw      VIDCTRL             ; tile map, dual, pf1 map buffer 1, pf1 bank 1
        db      0xD1
        dw      STOP

        include "lib.inc"
