; Planar, two planes from plane set 1 (planes 8 and 9), the window covering
; the whole shown area. Planes 0 and 1 point at empty VRAM, so a renderer that
; ignored the plane set would draw black.
        include "common.inc"
script: dw      TILES
        db      SOURCE_RAMP, 0
        dw      WINDOWS
        db      FULL_WIDTH, FULL_HEIGHT
        dw      PLANE + 2           ; planes 0 and 1 at 0x20000 (zero)
        db      2
        dw      PLANE + 6
        db      2
        dw      PLANE + 36 + 1      ; plane 8 at 0x00000, plane 9 at 0x00800
        db      0x08
        dw      VIDCTRL             ; planar, plane set 1
        db      0x20
        dw      MODEPARAM           ; two planes
        db      1
        dw      STOP

        include "lib.inc"
