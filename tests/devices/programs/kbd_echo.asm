; Collects every byte the keyboard sends, under its interrupt.
    include "kbd_boot.inc"
main:
    call kb_start
idle:
    halt
    jr idle
