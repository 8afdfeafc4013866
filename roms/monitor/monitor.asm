; Vexa resident monitor. The boot ROM loads it from the EEPROM to
; MONITOR_BASE and jumps to its first byte.
;
; Memory while the monitor runs:
;   0x0800-0x47FF  monitor code and data
;   0x4800-0x4BFF  SD block buffer, line buffer, key ring, variables
;   0x4C00-0x4C02  interrupt vector (IM 2, I = 0x4C, data byte 1)
;   0x4C03-0x5FFF  stack (grows down from 0x6000)
;   0x6000-0x7FFF  VRAM window (the console's frame buffer)
;   0x8000-0xFFFF  programs loaded from the SD card

        include "vexa.inc"

SD_BUFFER:      equ 0x4800      ; 512 bytes
LINE_BUFFER:    equ 0x4A00      ; LINE_MAX + 1 bytes
LINE_MAX:       equ 47          ; the prompt takes 2 of the 50 columns
KEY_RING:       equ 0x4A40      ; 16 bytes
KEY_RING_MASK:  equ 15
VARS:           equ 0x4A60
VECTOR_PAGE:    equ 0x4C        ; IM 2 table: the vector word sits at 0x4C01
STACK_TOP:      equ 0x6000

; Variables
cur_row:        equ VARS + 0    ; console cursor, 0..29
cur_col:        equ VARS + 1    ; 0..49
key_head:       equ VARS + 2    ; ring index the interrupt writes next
key_tail:       equ VARS + 3    ; ring index the monitor reads next
kb_flags:       equ VARS + 4    ; KB_* bits
usage:          equ VARS + 6    ; usage text of the running command
token:          equ VARS + 8    ; start of the last number or name read
number:         equ VARS + 10   ; 32-bit value of the last number, little-endian
sd_arg:         equ VARS + 14   ; 32-bit command argument, little-endian
block:          equ VARS + 18   ; 32-bit block number, little-endian
arg_addr:       equ VARS + 22   ; arguments kept while a command runs
arg_len:        equ VARS + 24
count:          equ VARS + 26
prog_entry:     equ VARS + 28   ; the directory entry being loaded (32 bytes)
prog_block:     equ prog_entry + 16
prog_length:    equ prog_entry + 20
prog_load:      equ prog_entry + 22
prog_start:     equ prog_entry + 24
prog_sum:       equ prog_entry + 26
poke_bytes:     equ VARS + 64   ; up to 24 bytes of a poke

KB_RELEASE:     equ 0x01        ; F0 seen: the next code is a key release
KB_EXTENDED:    equ 0x02        ; E0 seen
KB_SHIFT:       equ 0x04
KB_CAPS:        equ 0x08        ; Caps Lock is on
KB_CAPS_HELD:   equ 0x10        ; the Caps Lock key is down (ignore repeats)

COLUMNS:        equ 50
ROWS:           equ 30
KEY_ESC:        equ 27

        org MONITOR_BASE
        jp cold_start           ; MON_COLD
        jp warm_start           ; MON_WARM
        jp putc                 ; MON_PUTC
        jp puts                 ; MON_PUTS

cold_start:
        di
        ld sp, STACK_TOP
        call init_machine
        call cls
        call print
        db "Vexa monitor 1.0", 13
        db "Type help for the list of commands.", 13, 0
        jr prompt_loop

; Programs that changed the screen come back here (jp MON_WARM): the
; machine and the console are set up again.
warm_start:
        di
        ld sp, STACK_TOP
        call init_machine
        call cls
        call print
        db "Back in the monitor.", 13, 0
        jr prompt_loop

; A program's RET comes here: the machine is set up again and what it
; printed stays on the screen.
program_return:
        di
        ld sp, STACK_TOP
        call init_machine
        ld a, (cur_col)
        or a
        call nz, put_newline

prompt_loop:
        ld sp, STACK_TOP
        call read_line
        call execute
        jr prompt_loop

; Puts the machine into the monitor's state: no sound, no line coprocessor,
; no sprites, the console on the screen, keyboard interrupts on.
init_machine:
        xor a
        out (PORT_IRQ), a
        out (PORT_AUDIO_EN), a
        out (PORT_ALTPAGE), a
        out (PORT_LOWPAGE), a
        ld a, MEM_VRAMWINDOW
        out (PORT_MEMSEL), a
        ld a, VRAM_WINDOW_SEL
        out (PORT_VRAMLOC), a
        ld a, 0xFF
        out (PORT_ACK), a       ; drop every pending flag
        ld hl, console_setup
        ld d, 0x02
        ld b, CONSOLE_SETUP_COUNT
init_video:
        ld e, (hl)
        inc hl
        ld a, (hl)
        inc hl
        ld (de), a
        djnz init_video
        ld de, PALETTE          ; the colours follow the table
        ld bc, 4
        ldir
        ; keyboard
        xor a
        ld (key_head), a
        ld (key_tail), a
        ld (kb_flags), a
        ld b, 64
drain:  in a, (PORT_IRQ)        ; forget what was typed before
        rra
        jr nc, drained
        in a, (PORT_KBD)
        djnz drain
drained:
        ld hl, keyboard_interrupt
        ld (VECTOR_PAGE * 256 + 1), hl
        ld a, VECTOR_PAGE
        ld i, a
        im 2
        ld a, IRQ_MASTER | IRQ_KEYBOARD
        out (PORT_IRQ), a
        ei
        ret

        include "console_setup.inc"
        dw 0x0137               ; background: deep blue
        dw 0x0EEF               ; text: near white

        include "console.inc"
        include "keyboard.inc"
        include "commands.inc"
        include "sdcard.inc"
        include "font8x8.inc"

monitor_end:
        ds monitor_end > MONITOR_BASE + MONITOR_MAX ? -1 : 0 ; fails when the monitor outgrows its area
