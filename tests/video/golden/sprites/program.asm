; Sprites over a one-plane planar playfield (the window covers the shown
; area). Images in sprite RAM: 0 solid colour 0x55; 1 a gradient (its first
; pixel 0, transparent); 2 vertical stripes, every other column transparent;
; 3-4 one 32-line image. Sprite 0 (x 95, y 16) sits in the top-left corner;
; sprite 2 covers part of sprite 1 except through its transparent stripes;
; sprite 3 is 32 lines tall; sprite 4 (y 250) shows only its first 6 lines;
; sprite 5 (x 488) shows only its first 7 columns; sprite 127 is 48 lines tall.
        include "common.inc"
        org     0
        di
        ld      sp, 0x8000
        call    palette_ramp
        ld      hl, page7
        call    set_regs
        call    make_sources
        ld      bc, SOURCE_RAMP << 8 | 0
        call    tiles64k
        ld      a, MEM_SPRITE_WIN   ; image 0: solid
        ld      hl, 0x1000
        ld      bc, 256
        ld      de, 0x5500
        call    fill_seq
        ld      a, MEM_SPRITE_WIN   ; image 1: gradient from 0
        ld      hl, 0x1100
        ld      bc, 256
        ld      de, 0x0001
        call    fill_seq
        ld      a, MEM_SPRITE_WIN   ; image 2: 0, 0x80, 0, 0x80, ...
        ld      hl, 0x1200
        ld      bc, 256
        ld      de, 0x0080
        call    fill_seq
        ld      a, MEM_SPRITE_WIN   ; images 3 and 4: 0x10, 0x13, 0x16, ...
        ld      hl, 0x1300
        ld      bc, 512
        ld      de, 0x1003
        call    fill_seq
        ld      hl, setup
        call    set_regs
        halt
        jr      $ - 1

page7:  dw      PAGE
        db      0x38
        dw      PAGE                ; sprite page 0
        db      0x80
        dw      0
; Each sprite: x low, x/y/image bit 8 and height, y low, image.
setup:  dw      SPRITE + 0
        db      95
        dw      SPRITE + 1
        db      0x10
        dw      SPRITE + 2
        db      16
        dw      SPRITE + 3
        db      0
        dw      SPRITE + 4
        db      150
        dw      SPRITE + 5
        db      0x10
        dw      SPRITE + 6
        db      60
        dw      SPRITE + 7
        db      1
        dw      SPRITE + 8
        db      158
        dw      SPRITE + 9
        db      0x10
        dw      SPRITE + 10
        db      68
        dw      SPRITE + 11
        db      2
        dw      SPRITE + 12
        db      200
        dw      SPRITE + 13
        db      0x20
        dw      SPRITE + 14
        db      100
        dw      SPRITE + 15
        db      3
        dw      SPRITE + 16         ; x 0x150
        db      0x50
        dw      SPRITE + 17
        db      0x11
        dw      SPRITE + 18
        db      250
        dw      SPRITE + 19
        db      0
        dw      SPRITE + 20         ; x 0x1E8
        db      0xE8
        dw      SPRITE + 21
        db      0x11
        dw      SPRITE + 22
        db      120
        dw      SPRITE + 23
        db      1
        dw      SPRITE + 508        ; sprite 127: x 0x12C, 48 lines
        db      0x2C
        dw      SPRITE + 509
        db      0x31
        dw      SPRITE + 510
        db      180
        dw      SPRITE + 511
        db      2
        dw      RASTERCTRL
        db      SELECT_WIDTH
        dw      WINDOW
        db      FULL_WIDTH
        dw      RASTERCTRL
        db      SELECT_HEIGHT
        dw      WINDOW
        db      FULL_HEIGHT
        dw      VIDCTRL
        db      0x00
        dw      SPRCTRL             ; sprites on
        db      0x01
        dw      0

        include "lib.inc"
