; Vexa boot ROM (512 bytes at 0x0000, overlaid on RAM for reads).
;
; Quietens the machine, reads the monitor's header from the EEPROM through
; the configuration controller's data burst, checks it, loads the monitor to
; MONITOR_BASE, checks its sum and jumps to it. When there is no valid
; monitor it says why on the screen and halts with interrupts disabled; an
; NMI (warm boot) runs the whole sequence again.
;
; Space is tight: subroutines and data fill the gaps between the restart
; vectors.

        include "vexa.inc"

HEADER:         equ 0xFF00      ; the EEPROM header is read to here
ERROR_ROW:      equ VRAM_WINDOW + 14 * 512 ; raster line 112 of the console layout

        org 0
        di
        jp start

; Reads BC bytes of the EEPROM from address HL to DE through a data burst.
; Returns the 16-bit sum of the bytes in HL, carry set when the controller
; did not deliver a byte.
eeprom_read:
        push bc
        ld a, PIC_BURST_ADDR
        call pic_command
        pop hl
        push hl
        ld a, PIC_BURST_LEN
        call pic_command
        ld a, PIC_PREAMBLE
        call pic_send
        ld a, PIC_BURST
        call pic_send
        pop bc
        ld hl, 0
read_byte:
        xor a
        out (PORT_PIC), a
        ld a, 2
        out (PORT_PIC), a       ; rising clock edge: the next byte
        in a, (PORT_SYSHW)
        and SYSHW_PIC_READY
        scf
        ret z
        in a, (PORT_PIC)
        ld (de), a
        inc de
        add a, l
        ld l, a
        jr nc, read_more
        inc h
        jr read_more

        ds 0x38 - $, 0xFF
        ei                      ; nothing should interrupt the ROM: ignore it
        reti

read_more:
        dec bc
        ld a, b
        or c
        jr nz, read_byte
        ret

; Sends the preamble, command A and the 24-bit argument HL (top byte 0).
pic_command:
        push af
        ld a, PIC_PREAMBLE
        call pic_send
        pop af
        call pic_send
        ld a, l
        call pic_send
        ld a, h
        call pic_send
        xor a

; Sends A, most significant bit first.
pic_send:
        ld c, a
        ld b, 8
; Sends the top B bits of C.
pic_bits:
        xor a
        rl c
        rla                     ; bit 0 = data, clock low
        out (PORT_PIC), a
        or 2
        out (PORT_PIC), a       ; the controller samples on the rising edge
        djnz pic_bits
        ret

        ds 0x66 - $, 0xFF
        jp start                ; NMI: boot again

start:  di
        ld sp, 0                ; top of memory, clear of the monitor's area
        xor a
        out (PORT_AUDIO_EN), a
        out (PORT_MEMSEL), a
        out (PORT_ALTPAGE), a
        out (PORT_LOWPAGE), a

        ; The controller may still be inside a burst (an NMI during loading)
        ; or part-way through a byte: pulse the clock until no burst byte
        ; comes, then finish that byte with zero bits.
        in a, (PORT_PIC)        ; clears a waiting burst byte
        ld de, 0
resync: ld bc, 0x0100
        call pic_bits           ; one pulse, data 0
        in a, (PORT_SYSHW)
        and SYSHW_PIC_READY
        jr z, resync_done
        in a, (PORT_PIC)
        dec de
        ld a, d
        or e
        jr nz, resync
resync_done:
        ld bc, 0x0700
        call pic_bits

        ld hl, 0
        ld bc, EEPROM_HEADER_SIZE
        ld de, HEADER
        call eeprom_read
        jr c, no_answer

        ld hl, HEADER
        ld de, signature
        ld b, 4
check_sig:
        ld a, (de)
        cp (hl)
        jr nz, no_monitor
        inc hl
        inc de
        djnz check_sig
        ld c, (hl)              ; BC = length: 1 .. MONITOR_MAX
        inc hl
        ld b, (hl)
        ld a, b
        or c
        jr z, no_monitor
        ld hl, MONITOR_MAX
        sbc hl, bc              ; carry clear from 'or c'
        jr c, no_monitor
        ld hl, EEPROM_HEADER_SIZE
        ld de, MONITOR_BASE
        call eeprom_read
        jr c, no_answer
        ex de, hl               ; DE = sum of what arrived
        ld hl, (HEADER + 6)
        or a
        sbc hl, de
        jp z, MONITOR_BASE
        ld hl, msg_bad_sum
        jr fail
no_monitor:
        ld hl, msg_no_monitor
        jr fail
no_answer:
        ld hl, msg_no_answer

; Shows the message at HL (a column, then text) on a console screen and halts.
fail:   push hl
        ld hl, console_setup
        ld d, 0x02              ; every register set here is at 0x02xx
        ld b, CONSOLE_SETUP_COUNT
setup:  ld e, (hl)
        inc hl
        ld a, (hl)
        inc hl
        ld (de), a
        djnz setup
        ld de, PALETTE          ; HL: the two colours that follow the table
        ld c, 4
        ldir
        ld a, VRAM_WINDOW_SEL
        out (PORT_VRAMLOC), a
        ld a, MEM_VRAMWINDOW
        out (PORT_MEMSEL), a
        ld a, 1                 ; clear VRAM pages 1 and 0: the whole console
clear:  ld (VREG_PAGE), a
        ld hl, VRAM_WINDOW
        ld de, VRAM_WINDOW + 1
        ld bc, 0x1FFF
        ld (hl), 0
        ldir
        dec a
        jp p, clear             ; ends with page 0 selected
        pop hl
        ld e, (hl)
        ld d, ERROR_ROW >> 8
        inc hl
print:  ld a, (hl)
        or a
        jr z, stop
        push hl
        push de
        ld hl, tiny_chars
        ld bc, TINY_COUNT
        cpir
        ld a, TINY_COUNT - 1
        sub c                   ; index of the glyph
        add a, a
        ld l, a
        ld h, 0
        ld bc, tiny_font
        add hl, bc
        ld a, (hl)
        inc hl
        ld h, (hl)
        ld l, a
        add hl, hl              ; rows of 3 pixels from bit 14 down
        ld a, 5
row:    push af
        ld b, 3
pixel:  add hl, hl
        push af
        rl c
        pop af
        rl c                    ; every pixel twice as wide
        djnz pixel
        ld a, c
        add a, a
        add a, a                ; the six pixels at bits 7-2
        ex de, hl
        ld (hl), a              ; and twice as tall
        ld bc, 64
        add hl, bc
        ld (hl), a
        add hl, bc
        ex de, hl
        pop af
        dec a
        jr nz, row
        pop de
        inc de
        pop hl
        inc hl
        jr print
stop:   halt
        jr stop

signature:
        db "VXMN"

        include "console_setup.inc"
        dw 0x0004               ; background: dark blue
        dw 0x0FFF               ; text: white

msg_no_monitor:
        db 15
        db "NO MONITOR IN EEPROM", 0
msg_bad_sum:
        db 15
        db "BAD MONITOR CHECKSUM", 0
msg_no_answer:
        db 17
        db "NO EEPROM ANSWER", 0

; A tiny font: 3 x 5 pixels a glyph, drawn doubled. Rows from bit 14 down.
tiny_chars:
        db " ABCDEHIKMNOPRSTUW", 0
TINY_COUNT:     equ 18
tiny_font:
        dw %0000000000000000    ;    ... ... ... ... ...
        dw %0010101111101101    ; A  .#. #.# ### #.# #.#
        dw %0110101110101110    ; B  ##. #.# ##. #.# ##.
        dw %0011100100100011    ; C  .## #.. #.. #.. .##
        dw %0110101101101110    ; D  ##. #.# #.# #.# ##.
        dw %0111100110100111    ; E  ### #.. ##. #.. ###
        dw %0101101111101101    ; H  #.# #.# ### #.# #.#
        dw %0111010010010111    ; I  ### .#. .#. .#. ###
        dw %0101101110101101    ; K  #.# #.# ##. #.# #.#
        dw %0101111111101101    ; M  #.# ### ### #.# #.#
        dw %0110101101101101    ; N  ##. #.# #.# #.# #.#
        dw %0010101101101010    ; O  .#. #.# #.# #.# .#.
        dw %0110101110100100    ; P  ##. #.# ##. #.. #..
        dw %0110101110101101    ; R  ##. #.# ##. #.# #.#
        dw %0011100010001110    ; S  .## #.. .#. ..# ##.
        dw %0111010010010010    ; T  ### .#. .#. .#. .#.
        dw %0101101101101111    ; U  #.# #.# #.# #.# ###
        dw %0101101101111101    ; W  #.# #.# #.# ### #.#

        ds 0x200 - $, 0xFF      ; fails to assemble when the ROM outgrows 512 bytes
