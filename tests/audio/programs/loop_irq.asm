; Counts audio interrupts: channel 0 loops over an 8-byte block at 1 kHz
; (one pass every 8 ms) with the audio interrupt enabled; the handler counts
; at 0x7000, keeps the status byte at 0x7001 and clears the loop flag.
count:  equ 0x7000
status: equ 0x7001

        org 0
        jp start
        ds 0x38 - $, 0
        push af
        ld a, (count)
        inc a
        ld (count), a
        in a, (0x08)
        ld (status), a
        ld a, 0x10              ; acknowledge channel 0's loop
        out (0x02), a
        pop af
        ei
        reti

start:  ld sp, 0x7ff0
        im 1
        xor a
        ld (count), a
        ld bc, 0x0011           ; channel 0 duration 4 words (8 bytes of zeros)
        ld a, 4
        out (c), a
        ld bc, 0x3e12           ; period 0x3E80 = 16000: 1 kHz
        ld a, 0x80
        out (c), a
        ld a, 0x88              ; audio interrupt and master enable
        out (0x01), a
        ld a, 0x01
        out (0x08), a
        ei
spin:   jr spin
