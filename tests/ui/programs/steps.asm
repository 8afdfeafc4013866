; A boot ROM for the debugger tests. Known instructions at known addresses:
; Step Into runs one of them, Step Over runs the CALL and the whole routine.
; The NMI handler counts NMIs in 0x4002.
        org 0
        ld sp, 0xF000           ; 0x0000
        ld a, 0x11              ; 0x0003
        ld b, 0x22              ; 0x0005
        call routine            ; 0x0007, returns to 0x000A
after:  ld (0x4000), a          ; 0x000A
        ld hl, 0x1234           ; 0x000D
spin:   inc hl                  ; 0x0010
        jr spin                 ; 0x0011
routine:
        ld a, 0x5A
        ld (0x4001), a
        ld c, 0x33
        ret
        ds 0x66 - $, 0
nmi:    push af                 ; 0x0066: count NMIs in 0x4002
        ld a, (0x4002)
        inc a
        ld (0x4002), a
        pop af
        retn
