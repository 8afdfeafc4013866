; A boot ROM that keeps every device of the board busy at once, for the save
; state tests: whatever a state leaves out shows up as a difference in RAM,
; in the picture or in the sound some frames later.
;   interrupts: timer, raster, keyboard, mouse and channel-0 loop, counted
;   video: chunky mode, a palette, a VRAM pattern redrawn by the blitter, a
;          sprite, and the line coprocessor changing a colour on every line
;   sound: channel 0 loops a sawtooth from main RAM 0x20000
;   maths assist, PIC burst, SD block reads, PS/2 host lines: in the main loop
;   keyboard bytes are kept in a ring at 0x4100
count:   equ 0x4000        ; interrupts taken (16 bits)
kbidx:   equ 0x4002
seen:    equ 0x4003        ; sources seen by the handler, ORed
mres:    equ 0x4004        ; latest maths result
picb:    equ 0x4006        ; latest PIC burst byte
sdsum:   equ 0x4007        ; a checksum of the last SD block
loops:   equ 0x4008        ; main loop passes (16 bits)
kbring:  equ 0x4100
sdbuf:   equ 0x4200
cmd17:   equ 0x4010

        org 0
        di
        ld sp, 0x7F00
        jp start
        ds 0x38 - $, 0
isr:    push af
        push hl
        ld hl, (count)
        inc hl
        ld (count), hl
        in a, (0x01)
        ld hl, seen
        or (hl)
        ld (hl), a
        in a, (0x01)
        rra
        jr nc, nokey
        in a, (0x02)            ; the keyboard's next byte
        push de
        ld e, a
        ld a, (kbidx)
        ld l, a
        ld h, kbring >> 8
        ld (hl), e
        inc a
        and 0x1F
        ld (kbidx), a
        pop de
nokey:  in a, (0x03)            ; the mouse's byte, if any
        ld a, 0x80              ; raster flag off
        ld (0x0204), a
        ld a, 0x17              ; keyboard, mouse, timer, channel 0 loop
        out (0x02), a
        pop hl
        pop af
        ei
        reti

start:  ; (RAM is clear after a cold boot.) Sound samples: a sawtooth at main RAM 0x20000 (page 4).
        ld a, 4
        out (0x00), a
        ld hl, 0x8000
saw:    ld (hl), l
        inc l
        jr nz, saw
        xor a
        out (0x00), a
        ; Line coprocessor program at main RAM 0x70000 (page 14): on every
        ; line write palette byte 0 with the line number, then wait for the next.
        ld a, 14
        out (0x00), a
        ld hl, 0x8000
        ld de, lcop
        ex de, hl
        ld bc, lcop_end - lcop
        ldir
        xor a
        out (0x00), a
        ; Video: chunky, whole window, palette ramp, raster interrupt at line 100.
        ld hl, 0
pal:    ld (hl), l
        inc hl
        bit 1, h
        jr z, pal
        ld a, 0x80
        ld (0x0201), a
        ld a, 0x64
        ld (0x0205), a
        ld a, 0x02
        ld (0x0204), a
        ld a, 0x01
        ld (0x020D), a          ; line coprocessor from 0x0000, running
        ; A sprite, 16 pixels wide, definition 1.
        ld hl, sprite
        ld de, 0x0400
        ld bc, 4
        ldir
        ld a, 0x80              ; sprite RAM window at 0x1000
        out (0x00), a
        ld hl, 0x1000
spat:   ld (hl), l
        inc hl
        bit 1, h
        jr z, spat
        xor a
        out (0x00), a
        ld a, 0x01
        ld (0x0207), a
        ; VRAM pattern through the window at 0x2000 (page 0).
        ld a, 0x40
        out (0x00), a
        ld hl, 0x2000
vpat:   ld a, l
        xor h
        ld (hl), a
        inc hl
        bit 6, h
        jr z, vpat
        xor a
        out (0x00), a
        ; Sound: channel 0, location 0, 64 words, 16 kHz, volume 40.
        ld bc, 0x0010
        out (c), c
        ld b, 0
        out (c), b
        ld bc, 0x0011
        ld a, 0x40
        out (c), a
        ld bc, 0x0312
        ld a, 0xE8
        out (c), a
        ld bc, 0x0013
        ld a, 40
        out (c), a
        ld a, 0x01
        out (0x08), a
        ; Timer every 32 steps; interrupts on.
        ld a, 0xE0
        out (0x07), a
        im 1
        ld a, 0x8F
        out (0x01), a
        ei

main:   ld hl, (loops)
        inc hl
        ld (loops), hl
        ; Maths: entry 3 times the pass count.
        ld (0x0606), hl
        ld a, 3
        ld (0x020A), a
        ld (0x0208), hl
        ld hl, (0x0704)
        ld (mres), hl
        ; The blitter copies a strip of VRAM onto another, its source moving.
        ld a, (loops)
        ld (0x0210), a
        xor a
        ld (0x0211), a
        ld (0x0218), a
        ld a, 0x40
        ld (0x0213), a
        ld a, 4
        ld (0x0216), a
        ld a, 32
        ld (0x0217), a
        ; PIC: a burst of one EEPROM byte.
        call pic_read
        ld (picb), a
        ; SD: block (pass count & 7) read and summed.
        call sd_read
        ; Mouse: ask to send (clock pulled, then data pulled), let go later.
        ld a, (loops)
        and 0x0F
        jr nz, nomouse
        ld a, 0x40
        out (0x03), a
        ld a, 0x80
        out (0x03), a
nomouse:
        ld b, 0
delay:  djnz delay
        jr main

pic_read:
        ld hl, piccmd
        ld b, piccmd_end - piccmd
picsend:
        ld a, (hl)
        call send_byte
        inc hl
        djnz picsend
        ld a, 0x02
        out (0x0D), a
        xor a
        out (0x0D), a
picwait:
        in a, (0x09)
        bit 4, a
        jr z, picwait
        in a, (0x0D)
        ret

send_byte:
        push bc
        ld c, a
        ld b, 8
sbit:   rl c
        ld a, 0
        rla
        out (0x0D), a
        or 0x02
        out (0x0D), a
        djnz sbit
        xor a
        out (0x0D), a
        pop bc
        ret

sd_read:
        ld hl, cmd17            ; CMD17 for block (pass count & 7), built in RAM
        ld (hl), 0x51
        inc hl
        xor a
        ld (hl), a
        inc hl
        ld (hl), a
        inc hl
        ld a, (loops)
        and 7
        add a, a
        ld (hl), a
        inc hl
        ld (hl), 0
        inc hl
        ld (hl), 0xFF
        ld hl, cmd0
        ld bc, 0x060A
        otir
        in a, (0x0A)
        in a, (0x0A)
        ld hl, cmd17
        ld bc, 0x060A
        otir
        in a, (0x0A)
        in a, (0x0A)
        in a, (0x0A)
        in a, (0x0A)
        ld hl, sdbuf
        ld bc, 0x000A
        inir
        inir
        in a, (0x0A)
        in a, (0x0A)
        ld hl, sdbuf
        xor a
        ld b, 0
sdsumlp:
        add a, (hl)
        inc hl
        djnz sdsumlp
        ld (sdsum), a
        ret

piccmd: db 0x88, 0xD4, 0x00, 0x01, 0x00, 0x88, 0xE2, 1, 0, 0, 0x88, 0xC9
piccmd_end:
sprite: db 0x80, 0x20, 0x40, 0x01
lcop:   dw 0x8000, 0x4000, 0xC1FF
lcop_end:
cmd0:   db 0x40, 0, 0, 0, 0, 0x95
        ds 0x200 - $            ; fails to assemble if the program outgrows the ROM
