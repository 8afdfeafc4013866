; A main loop interrupted by the timer (IM 1): the handler counts at
; isr_count, the loop at main_count. Stopping at `work` over and over must
; leave the machine exactly where a straight run leaves it.
isr_count:  equ 0x7000
main_count: equ 0x7002

            org 0
            jp start
            ds 0x38 - $, 0
isr:        push af
            push hl
            ld hl, (isr_count)
            inc hl
            ld (isr_count), hl
            ld a, 0x04          ; acknowledge the timer
            out (0x02), a
            pop hl
            pop af
            ei
            reti

start:      ld sp, 0x7ff0
            im 1
            ld a, 0xC0
            out (0x07), a
            ld a, 0x84          ; timer interrupt and master enable
            out (0x01), a
            ei
loop:       ld hl, (main_count)
            inc hl
            ld (main_count), hl
work:       ld a, (0x7000)
            jr loop
