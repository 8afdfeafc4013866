; Planar, one plane (plane count 0) from plane set 0, in the reset window
; (lines 0-159, columns 0-255): the tile ramp of bank 0 drawn as one bit per
; pixel, most significant bit leftmost; colour 1 on black.
        include "common.inc"
        org     0
        di
        ld      sp, 0x8000
        call    palette_ramp
        ld      hl, page7
        call    set_regs
        call    make_sources
        ld      bc, SOURCE_RAMP << 8 | 0
        call    tiles64k
        ld      hl, setup
        call    set_regs
        halt
        jr      $ - 1

page7:  dw      PAGE
        db      0x38
        dw      0
setup:  dw      PLANE + 2           ; plane 0 at 0x00000 (written anyway)
        db      0
        dw      VIDCTRL             ; planar, plane set 0
        db      0x00
        dw      MODEPARAM           ; one plane
        db      0
        dw      0

        include "lib.inc"
