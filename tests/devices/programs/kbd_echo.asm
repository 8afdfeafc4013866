; Collects every byte the keyboard sends, under its interrupt.
    org 0
    di
    ld sp, 0x8000
    im 1
    jp main
    ds 0x38 - $, 0
    include "kbd_isr.inc"
main:
    call kb_start
idle:
    halt
    jr idle
