; Two square waves: channel 1 (heard on the left) plays a 16-byte square at
; 16 kHz, a 1000 Hz tone; channel 2 (right) a 24-byte square at 8 kHz, a
; 333 Hz tone. Everything is set up well inside the first 10,000 T-states,
; before the first audio step, then the processor spins.
        org 0
        di
        ld sp, 0x7ff0
        ld a, 4
        out (0x00), a           ; page 4 (main RAM 0x20000, location 0) at 0x8000

        ld hl, 0x8000           ; channel 1 block: location 0
        ld b, 8
        ld c, 0x40
        call square
        ld hl, 0x8020           ; channel 2 block: location 0x10
        ld b, 12
        call square

        ld hl, regs
        ld d, regs_end - regs
next:   ld c, (hl)              ; register port
        inc hl
        ld b, (hl)              ; high byte of the value, through the port's high byte
        inc hl
        ld a, (hl)              ; low byte
        inc hl
        out (c), a
        dec d
        dec d
        dec d
        jr nz, next

        ld a, 0x06              ; start channels 1 and 2
        out (0x08), a
spin:   jr spin

; b bytes of +c then b bytes of -c at hl
square: push bc
up:     ld (hl), c
        inc hl
        djnz up
        pop bc
        ld a, c
        neg
down:   ld (hl), a
        inc hl
        djnz down
        ret

regs:   db 0x14, 0x00, 0x00     ; channel 1 location 0
        db 0x15, 0x00, 8        ; duration 8 words
        db 0x16, 0x03, 0xe8     ; period 1000: 16 kHz
        db 0x17, 0x00, 0x40     ; volume 64
        db 0x18, 0x00, 0x10     ; channel 2 location 0x10
        db 0x19, 0x00, 12       ; duration 12 words
        db 0x1a, 0x07, 0xd0     ; period 2000: 8 kHz
        db 0x1b, 0x00, 0x40     ; volume 64
regs_end:
