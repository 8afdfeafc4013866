; A small boot ROM for the runner's tests: counts NMIs, records the refresh
; register after reset, leaves a pattern in RAM, says hello on an unused port
; and then halts with interrupts off, so that only NMIs wake it.

nmi_count:      equ     0x8100
refresh:        equ     0x8102
pattern:        equ     0x8200

        org     0
        jp      start

        ds      0x66 - $, 0
nmi:    push    af
        ld      a, (nmi_count)
        inc     a
        ld      (nmi_count), a
        pop     af
        retn

start:  ld      sp, 0xf000
        ld      a, r
        ld      (refresh), a
        ld      a, 0x5a
        out     (0x30), a
        ld      hl, pattern
        ld      b, 16
fill:   ld      (hl), b
        inc     hl
        djnz    fill
idle:   halt
        jr      idle
