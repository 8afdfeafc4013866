; A boot ROM for the window tests: the picture is palette entry 0, blue at
; start; every byte from the keyboard is stored from 0x4000 on (its count in
; 0x3FFF) and turns the picture green. The video registers it writes set the
; status panels: planar mode, display active.
        org 0
        di
        ld sp, 0xF000
        ld a, 0x0F              ; palette entry 0 = blue (low byte: blue nibble)
        ld (0x0000), a
        xor a
        ld (0x0001), a
        ld (0x0201), a          ; vreg_vidctrl: planar, display active
        ld (0x3FFF), a
        ld hl, 0x4000
wait:   in a, (0x01)            ; bit 0: the keyboard has bytes
        and 1
        jr z, wait
        in a, (0x02)
        ld (hl), a
        inc hl
        ld a, (0x3FFF)
        inc a
        ld (0x3FFF), a
        ld a, 0xF0              ; palette entry 0 = green
        ld (0x0000), a
        jr wait
