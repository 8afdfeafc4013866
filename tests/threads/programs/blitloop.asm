; Starts the largest blit (256 rows of 256 bytes) again and again, as fast as
; the processor can write the width register, and counts the blits in HL,
; stored at 0x4000 (low byte first).
        org 0
        ld sp, 0xF000
        ld a, 0xFF
        ld (0x0216), a          ; height: 256 rows
        ld hl, 0
loop:   ld (0x0217), a          ; width: 256 bytes, and the blit runs
        inc hl
        ld (0x4000), hl
        jr loop
