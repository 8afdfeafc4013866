; Samples, as fast as the processor can, what it can see of the device clock:
; the video status through memory (0x0700, where the raster is within its
; line) and through port 0x07, and the interrupt status port 0x01 (the PS/2
; lines and the pending sources), four bytes a sample (the fourth is the
; refresh register) into a 16 KB ring at 0x4000. Every 64 samples it asks the
; keyboard to receive a byte, so the keyboard's clock
; edges show up in the samples. The timer (a short period), raster and
; keyboard interrupts are taken by a handler that counts them and notes
; where in the ring each one came.
ring:    equ 0x4000
irqs:    equ 0x3F80            ; interrupts taken (16 bits)
where:   equ 0x3F82            ; ring position at the last interrupt
lastkey: equ 0x3F84            ; the keyboard's last byte

        org 0
        di
        ld sp, 0x3F00
        jp start
        ds 0x38 - $, 0
isr:    push af
        push hl
        ld hl, (irqs)
        inc hl
        ld (irqs), hl
        ld hl, 0
        add hl, sp
        ld a, (hl)              ; the interrupted HL's low byte, on top of the stack
        ld (where), a
        in a, (0x01)
        rra
        jr nc, nokey
        in a, (0x02)
        ld (lastkey), a
        pop hl                  ; the keyboard's request ends with its queue:
        pop af                  ; no acknowledge, and no port written on the way out
        ei
        reti
nokey:  ld a, 0x80              ; raster flag off
        ld (0x0204), a
        ld a, 0x07              ; acknowledge keyboard, mouse and timer
        out (0x02), a
        pop hl
        pop af
        ei
        reti

start:  ld a, 0xF0              ; timer: an overflow every 16 steps
        out (0x07), a
        ld a, 0x04              ; window columns 96-495
        ld (0x0204), a
        ld a, 0x6F
        ld (0x0202), a
        ld a, 0x64              ; raster interrupt at line 100
        ld (0x0205), a
        ld a, 0x02
        ld (0x0204), a
        im 1
        ld a, 0x8F
        out (0x01), a
        ei
        ld hl, ring
loop:   ld a, (0x0700)
        ld (hl), a
        inc hl
        in a, (0x07)
        ld (hl), a
        inc hl
        in a, (0x01)
        ld (hl), a
        inc hl
        ld a, r
        ld (hl), a
        inc hl
        res 7, h                ; 0x8000 wraps round to 0x4000
        set 6, h
        ld a, l
        or a
        jr nz, loop
        ld a, 0x10              ; pull the keyboard's clock line,
        out (0x03), a
        ld a, 0x20              ; then release it with data pulled: a request to send
        out (0x03), a
        jr loop

        ds 0x200 - $            ; fails to assemble if the program outgrows the ROM
