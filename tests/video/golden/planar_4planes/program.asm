; Planar, four planes from plane set 0 at 0x00000, 0x01000, 0x02000 and
; 0x03000, the window covering the whole shown area: colours 0-15.
        include "common.inc"
script: dw      TILES
        db      SOURCE_RAMP, 0
        dw      WINDOWS
        db      FULL_WIDTH, FULL_HEIGHT
        dw      PLANE + 4 + 1
        db      0x10
        dw      PLANE + 8 + 1
        db      0x20
        dw      PLANE + 12 + 1
        db      0x30
        dw      VIDCTRL
        db      0x00
        dw      MODEPARAM           ; four planes
        db      3
        dw      STOP

        include "lib.inc"
