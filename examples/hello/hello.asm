; hello: a first program of your own for the Vexa board.
;
; The monitor loads it from the SD card at 0x8000 and calls it there. It
; prints a line through the monitor's entry table, adds up 1 to 10 and leaves
; the sum and a marker at RESULT, where the test finds them in the memory
; dump, then returns to the monitor's prompt.

        include "vexa.inc"

RESULT: equ 0x9000

        org PROGRAM_AREA
start:
        ld hl, greeting
        call MON_PUTS

        xor a                   ; a = 1 + 2 + ... + 10
        ld b, 10
add:    add a, b
        djnz add
        ld (RESULT), a
        ld a, 0xA5              ; "got this far"
        ld (RESULT + 1), a
        ret

greeting:
        db "Hello from my own program!", 13, 0
