; Planar, one plane (plane count 0) from plane set 0, in the reset window
; (lines 0-159, columns 0-255): the tile ramp of bank 0 drawn as one bit per
; pixel, most significant bit leftmost; colour 1 on black.
        include "common.inc"
script: dw      TILES
        db      SOURCE_RAMP, 0
        dw      VIDCTRL             ; planar, plane set 0
        db      0x00
        dw      MODEPARAM           ; one plane
        db      0
        dw      STOP

        include "lib.inc"
