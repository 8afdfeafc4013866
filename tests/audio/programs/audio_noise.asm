; Writes nonsense to every audio register, the enable mask and the loop-flag
; acknowledge as fast as it can, with the audio interrupt on and a handler
; that acknowledges nothing.
        org 0
        jp start
        ds 0x38 - $, 0
        ei
        reti

start:  ld sp, 0x7ff0
        im 1
        ld a, 0xff
        out (0x01), a
        ld hl, 0x1234
        ei
loop:   ld a, r
        add a, l
        ld l, a
        rrca
        xor h
        ld h, a
        ld b, h                 ; high byte of the value
        and 0x0f
        or 0x10
        ld c, a                 ; 0x10-0x1F
        out (c), l
        in a, (c)
        ld a, l
        out (0x08), a
        ld a, h
        out (0x02), a
        in a, (0x08)
        jr loop
