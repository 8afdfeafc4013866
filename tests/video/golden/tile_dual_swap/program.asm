; Extended 16 x 16 tile map, dual playfield with playfield swap: playfield 1
; (map at 0x70400, opaque ramp tiles 0x30, 0x31, ...) is at the back and
; playfield 0 (map at 0x70000, checker tiles 256 and up with flips cycling
; by column) in front.
        include "common.inc"
script: dw      TILES
        db      SOURCE_RAMP, 0
        dw      TILES
        db      SOURCE_CHECKER, 1
        dw      FILL                ; playfield 0: low bytes 0x00, 0x01, ...
        db      MEM_VRAM_WRITE
        dw      0x0000, 32 * 15
        db      0x00, 1
        dw      FILL                ; high bytes 0x01, 0x41, 0x81, 0xC1, ...
        db      MEM_VRAM_WRITE
        dw      0x0800, 32 * 15
        db      0x01, 0x40
        dw      FILL                ; playfield 1: low bytes 0x30, 0x31, ...; high bytes 0
        db      MEM_VRAM_WRITE
        dw      0x0400, 32 * 15
        db      0x30, 1
        dw      WINDOWS
        db      FULL_WIDTH, FULL_HEIGHT
        dw      EXTVIDCTRL          ; extended tiles, playfield swap
        db      0x03
        dw      VIDCTRL             ; tile map, dual playfield
        db      0x81
        dw      STOP

        include "lib.inc"
