; hello: the smallest program for the SD card. It prints through the
; monitor's entry table and returns to the prompt with RET.

        include "vexa.inc"

        org PROGRAM_AREA
        ld hl, greeting
        call MON_PUTS
        ret

greeting:
        db "Hello from the SD card!", 13, 0
