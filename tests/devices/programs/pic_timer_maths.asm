; Boot ROM that drives the configuration link, the timer and the maths assist
; the way a real boot ROM does, and leaves what it saw in RAM page 1:
;   8000      port 0x09 bit 4 before the burst (expect 0)
;   8001-8004 the four burst bytes
;   8005      port 0x09 bit 4 after a byte sent once the burst ended (expect 0)
;   8010-8015 three maths results, low byte first
;   8020      port 0x01 bit 2 once the timer elapsed (expect 4)
;   8021      port 0x01 bit 2 after the acknowledge (expect 0)
;   8022      timer interrupts taken (expect 3)
;   8023      0x5A once everything ran

burst_addr:   equ 0x7FFFE          ; two bytes before the end: the burst wraps to 0
burst_len:    equ 4

res_pic:      equ 0x8000
res_maths:    equ 0x8010
res_timer:    equ 0x8020
tcount:       equ 0x8022
done:         equ 0x8023

        org 0
        di
        ld sp, 0xFFF0
        jp start

        ds 0x38 - $, 0
; IM 1: count the timer interrupt and acknowledge it.
isr:
        push af
        ld a, (tcount)
        inc a
        ld (tcount), a
        ld a, 0x04
        out (0x02), a
        pop af
        ei
        reti

start:
        xor a
        ld (tcount), a

; ---- configuration link: set up a burst and read it -----------------------
        in a, (0x09)
        and 0x10
        ld (res_pic), a

        ld hl, commands
        ld b, commands_end - commands
send_all:
        ld a, (hl)
        call send_byte
        inc hl
        djnz send_all

        ld hl, res_pic + 1
        ld b, burst_len
burst_loop:
        ld a, 0x02              ; clock up: the link latches the next byte
        out (0x0D), a
        xor a
        out (0x0D), a
wait_ready:
        in a, (0x09)
        bit 4, a
        jr z, wait_ready
        in a, (0x0D)
        ld (hl), a
        inc hl
        djnz burst_loop

        ; The burst is over: another byte is taken as a (wrong) preamble.
        ld a, 0xC9
        call send_byte
        in a, (0x09)
        and 0x10
        ld (res_pic + 5), a

; ---- maths assist ----------------------------------------------------------
        ld hl, 0x4000           ; entry 5 = 0x4000 (offsets 10 and 11)
        ld (0x060A), hl
        ld a, 5
        ld (0x020A), a
        ld hl, 0x1234
        ld (0x0208), hl
        ld hl, (0x0704)         ; 0x1234
        ld (res_maths), hl

        ld hl, 0xC000           ; writes to 0x0704/5 land in entry 0x82
        ld (0x0704), hl
        ld a, 0x82
        ld (0x020A), a
        ld hl, 0x0100
        ld (0x0208), hl
        ld hl, (0x0704)         ; reads give the result: 0xFF00
        ld (res_maths + 2), hl

        ld hl, 0x7FFF           ; entry 255 = 0x7FFF
        ld (0x07FE), hl
        ld a, 0xFF
        ld (0x020A), a
        ld hl, 0x7FFF
        ld (0x0208), hl
        ld hl, (0x0704)         ; 0xFFFC
        ld (res_maths + 4), hl

; ---- timer -----------------------------------------------------------------
        ld a, 0xFF              ; elapses after 256 cycles; not enabled yet
        out (0x07), a
poll_timer:
        in a, (0x01)
        and 0x04
        jr z, poll_timer
        ld (res_timer), a
        ld a, 0xF0              ; reseed before the acknowledge, so no second overflow slips in
        out (0x07), a
        ld a, 0x04
        out (0x02), a
        in a, (0x01)
        and 0x04
        ld (res_timer + 1), a

        im 1
        ld a, 0x84              ; master and timer enables
        out (0x01), a
        ei
wait_irqs:
        ld a, (tcount)
        cp 3
        jr c, wait_irqs
        di
        xor a
        out (0x01), a

        ld a, 0x5A
        ld (done), a
        halt

; Sends A over the link, most significant bit first: data set with the clock
; low, then the clock raised. Leaves the clock low. Keeps B and HL.
send_byte:
        push bc
        ld c, a
        ld b, 8
send_bit:
        rl c
        ld a, 0
        rla                     ; data bit from the carry
        out (0x0D), a
        or 0x02
        out (0x0D), a
        djnz send_bit
        xor a
        out (0x0D), a
        pop bc
        ret

commands:
        db 0x88, 0xD4, burst_addr & 0xFF, (burst_addr >> 8) & 0xFF, burst_addr >> 16
        db 0x88, 0xE2, burst_len, 0, 0
        db 0x88, 0xC9
commands_end:
