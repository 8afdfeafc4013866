; Planar, eight planes from plane set 1 (planes 8-15, addresses loaded as one
; block), the window covering the whole shown area: all 256 colours.
        include "common.inc"
script: dw      TILES
        db      SOURCE_RAMP, 0
        dw      WINDOWS
        db      FULL_WIDTH, FULL_HEIGHT
        dw      RUN
        dw      load_planes
        dw      VIDCTRL             ; planar, plane set 1
        db      0x20
        dw      MODEPARAM           ; eight planes
        db      7
        dw      STOP

load_planes:
        ld      hl, planes
        ld      de, PLANE + 32
        ld      bc, 32
        ldir
        ret
; Planes 8-15: low, middle, high byte, then the counter reset (even planes)
; or the modulo (odd planes, 0).
planes: db      0x00, 0x00, 0, 0
        db      0x40, 0x07, 0, 0
        db      0x80, 0x0E, 0, 0
        db      0xC0, 0x15, 0, 0
        db      0x11, 0x1C, 0, 0
        db      0x22, 0x23, 0, 0
        db      0x33, 0x2A, 0, 0
        db      0x44, 0x31, 0, 0

        include "lib.inc"
