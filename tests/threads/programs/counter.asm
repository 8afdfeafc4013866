; Counts in HL for ever and stores the count at 0x4000 (low byte first).
        org 0
        ld sp, 0xF000           ; 0x0000
        ld hl, 0                ; 0x0003
loop:   inc hl                  ; 0x0006
        ld (0x4000), hl         ; 0x0007
        jr loop                 ; 0x000A
