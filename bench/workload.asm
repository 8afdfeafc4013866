; The benchmark's fixed mix of Z80 code: ALU work, loads and stores, branches,
; calls and returns, block moves, index and CB instructions, in an endless
; loop. It runs from 0x8000 and keeps its work areas at 0x9200 and above, so it runs the
; same on the flat test machine and on the board.

        org     0x8000

start:  ld      sp, 0xf000
        ld      ix, table
        ld      iy, table + 64
loop:
        ; --- ALU on registers and immediates
        ld      b, 32
        ld      a, 0x5a
        ld      c, 0x13
        ld      de, 0x2745
        ld      hl, 0x1357
alu:    add     a, c
        adc     a, d
        sub     e
        sbc     a, h
        and     0x7f
        xor     l
        or      c
        cp      0x40
        inc     c
        dec     d
        add     hl, de
        inc     hl
        djnz    alu

        ; --- loads and stores through memory
        ld      hl, data
        ld      de, buffer
        ld      b, 16
copy:   ld      a, (hl)
        ld      (de), a
        inc     hl
        inc     de
        djnz    copy
        ld      bc, (word1)
        ld      (word2), bc
        ld      hl, (word2)
        ld      (word1), hl
        ld      a, (data + 3)
        ld      (buffer + 20), a

        ; --- calls, returns and conditional branches
        ld      b, 8
calls:  call    sub1
        call    nz, sub2
        jr      z, skip
        call    sub1
skip:   djnz    calls

        ; --- block moves
        ld      hl, data
        ld      de, buffer
        ld      bc, 64
        ldir
        ld      hl, buffer + 63
        ld      de, buffer + 127
        ld      bc, 32
        lddr

        ; --- index registers
        ld      b, 16
index:  ld      a, (ix + 3)
        add     a, (ix + 5)
        ld      (ix + 7), a
        inc     (ix + 2)
        ld      a, (iy - 4)
        xor     (iy + 1)
        ld      (iy + 9), a
        dec     (iy + 12)
        djnz    index

        ; --- CB instructions on registers, (hl) and (ix+d)
        ld      hl, buffer
        ld      b, 16
bits:   rlc     c
        srl     d
        rl      e
        bit     3, a
        set     2, (hl)
        res     5, (hl)
        rr      (hl)
        bit     7, (ix + 4)
        res     1, (ix + 4)
        set     6, (iy + 2)
        inc     hl
        djnz    bits

        ; --- a little stack traffic and exchanges
        push    af
        push    bc
        push    de
        push    hl
        ex      de, hl
        exx
        ex      af, af'
        pop     hl
        pop     de
        pop     bc
        pop     af
        jp      loop

sub1:   ld      a, c
        add     a, b
        rra
        ret

sub2:   push    hl
        ld      hl, word1
        inc     (hl)
        pop     hl
        or      a
        ret

; Initialised data follows the code; the work areas are plain RAM.
data:   db      0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0
        db      0x0f, 0x1e, 0x2d, 0x3c, 0x4b, 0x5a, 0x69, 0x78
        ds      48, 0x55
word1:  dw      0x1234
word2:  dw      0
table:  equ     0x9200
buffer: equ     0x9400
