; A line coprocessor program that sends itself back to its start: 0x820D
; selects vreg_linecop_lo, 0x0000 writes it (start 0, run flag clear), which
; puts the program counter back at the start. The boot ROM puts the two words
; at main RAM 0x70000 through the bank at 0x8000 and starts the coprocessor.
        org     0
        ld      a, 0x0e         ; main RAM 0x70000 at 0x8000
        out     (0x00), a
        ld      hl, 0x820d
        ld      (0x8000), hl
        ld      hl, 0x0000
        ld      (0x8002), hl
        ld      a, 0x01         ; vreg_linecop_lo: start 0, running
        ld      (0x020d), a
        ld      a, 0x5a         ; still here after the coprocessor's run
        ld      (0x8004), a
idle:   jr      idle
