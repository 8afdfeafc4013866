; Sprites over a one-plane planar playfield (the window covers the shown
; area). Images in sprite RAM: 0 solid colour 0x55; 1 a gradient (its first
; pixel 0, transparent); 2 vertical stripes, every other column transparent;
; 3-4 one 32-line image. Sprite 0 (x 95, y 16) sits in the top-left corner;
; sprite 2 covers part of sprite 1 except through its transparent stripes;
; sprite 3 is 32 lines tall; sprite 4 (y 250) shows only its first 6 lines;
; sprite 5 (x 488) shows only its first 7 columns; sprite 127 is 48 lines tall.
        include "common.inc"
script: dw      TILES
        db      SOURCE_RAMP, 0
        dw      PAGE                ; sprite page 0
        db      0x80
        dw      FILL                ; image 0: solid
        db      MEM_SPRITE_WIN
        dw      0x1000, 256
        db      0x55, 0
        dw      FILL                ; image 1: gradient from 0
        db      MEM_SPRITE_WIN
        dw      0x1100, 256
        db      0x00, 1
        dw      FILL                ; image 2: 0, 0x80, 0, 0x80, ...
        db      MEM_SPRITE_WIN
        dw      0x1200, 256
        db      0x00, 0x80
        dw      FILL                ; images 3 and 4: 0x10, 0x13, 0x16, ...
        db      MEM_SPRITE_WIN
        dw      0x1300, 512
        db      0x10, 3
        dw      RUN
        dw      place_sprites
        dw      WINDOWS
        db      FULL_WIDTH, FULL_HEIGHT
        dw      VIDCTRL
        db      0x00
        dw      SPRCTRL             ; sprites on
        db      0x01
        dw      STOP

; Copies each sprite's four registers (x low; x, y and image bit 8 with the
; height; y low; image) from the table.
place_sprites:
        ld      hl, sprites
ps_next:
        ld      e, (hl)             ; sprite number
        inc     hl
        ld      a, e
        inc     a
        ret     z                   ; 0xFF ends the table
        ld      d, 0
        ex      de, hl
        add     hl, hl
        add     hl, hl
        ld      bc, SPRITE
        add     hl, bc
        ex      de, hl
        ld      bc, 4
        ldir
        jr      ps_next
sprites:
        db      0, 95, 0x10, 16, 0
        db      1, 150, 0x10, 60, 1
        db      2, 158, 0x10, 68, 2
        db      3, 200, 0x20, 100, 3
        db      4, 0x50, 0x11, 250, 0     ; x 0x150
        db      5, 0xE8, 0x11, 120, 1     ; x 0x1E8
        db      127, 0x2C, 0x31, 180, 2   ; x 0x12C, 48 lines
        db      0xFF

        include "lib.inc"
