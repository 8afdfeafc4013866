; Sends the keyboard a byte by bit-banging port 0x03 as a PS/2 host does
; (inhibit, then request to send with the clock released), counts the device
; clock's rising edges at port 0x01 until the answer waits, then reads the
; answer under the keyboard interrupt.
STATUS_BEFORE: equ 0x8004 ; port 0x01 before the transfer
EDGES:         equ 0x8005 ; rising edges of the device clock seen
STATUS_AFTER:  equ 0x8006 ; port 0x01 once the answer waits

    include "kbd_boot.inc"
main:
    in a, (0x01)
    ld (STATUS_BEFORE), a
    ld a, 0x10              ; pull the keyboard clock low: inhibit
    out (0x03), a
    ld a, 0x20              ; release the clock, data held low: request to send
    out (0x03), a
    ld b, 0                 ; last clock level (bit 4)
    ld d, 0                 ; rising edges
watch:
    in a, (0x01)
    ld e, a
    and 0x10
    ld c, a
    xor b                   ; changed ...
    and c                   ; ... and now high
    jr z, no_edge
    inc d
no_edge:
    ld b, c
    bit 0, e                ; the keyboard has bytes waiting: the byte arrived
    jr z, watch
    ld a, d
    ld (EDGES), a
    ld a, e
    ld (STATUS_AFTER), a
    call kb_start
idle:
    halt
    jr idle
