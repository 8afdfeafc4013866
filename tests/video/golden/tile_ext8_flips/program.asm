; Extended tile map, 8 x 8 tiles, one playfield, tile bank 0 (ramp tiles;
; bank 1 at 0x40000 holds checker tiles). Map entries 0x00, 0x01, ... (64 a
; row) with the flip bits cycling by column: none, horizontal, vertical, both.
        include "common.inc"
script: dw      TILES
        db      SOURCE_RAMP, 0
        dw      TILES
        db      SOURCE_CHECKER, 4
        dw      FILL                ; map low bytes at 0x70000
        db      MEM_VRAM_WRITE
        dw      0x0000, 64 * 30
        db      0x00, 1
        dw      FILL                ; high bytes at 0x70800
        db      MEM_VRAM_WRITE
        dw      0x0800, 64 * 30
        db      0x00, 0x40
        dw      WINDOWS
        db      FULL_WIDTH, FULL_HEIGHT
        dw      EXTVIDCTRL          ; extended tiles
        db      0x01
        dw      VIDCTRL             ; tile map, 8 x 8 tiles, tile bank 0
        db      0x09
        dw      STOP

        include "lib.inc"
