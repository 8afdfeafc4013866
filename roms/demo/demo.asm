; demo: shows what the board can do, then goes back to the monitor on Esc.
;
;   - a tile picture (legacy 16 x 16 tile mode): a "VEXA" logo, mountains
;     whose outline the maths assist computes, grass and a brick wall;
;   - a sky gradient that the line coprocessor paints by changing palette
;     entry 0 on every raster line;
;   - eight sprites on a figure-of-eight path, worked out each frame with
;     the maths assist (radius times sine);
;   - a text scroller whose tiles the blitter shifts two pixels a frame;
;   - a tune on the four sound channels, its steps paced by the timer
;     interrupt, its note envelopes driven by the audio (loop) interrupt.

        include "vexa.inc"

; Variables (page 1, above the program)
frame:          equ 0xF000      ; 16 bits
tick:           equ 0xF002      ; timer interrupts since the last step
step:           equ 0xF003      ; 0..31
quit:           equ 0xF004      ; set by Esc
kb_release:     equ 0xF005      ; F0 seen
scroll_ptr:     equ 0xF006      ; next character of the message
scroll_col:     equ 0xF008      ; column 0..7 of its glyph
volume:         equ 0xF010      ; 4 channels: current volume
env_div:        equ 0xF014      ; 4 channels: loop interrupts until the next decay
heights:        equ 0xF100      ; 400 bytes: mountain height of every column
VECTOR_PAGE:    equ 0xFE        ; IM 2 vector at 0xFE01

; Tiles (bank 1: tile t at VRAM 0x10000 + t * 256)
TILE_SKY:       equ 0
TILE_LOGO:      equ 1           ; 16 tiles: 4 letters x 4 quarters
TILE_MOUNTAIN:  equ 40          ; 25 columns x 2 rows
TILE_GRASS:     equ 90
TILE_BRICK:     equ 91
TILE_SCROLL:    equ 200         ; 26 tiles: 25 shown and the one being fed
TILE_TEMP:      equ 226         ; 25 tiles for the blitter's saved columns
SCROLL_ROW:     equ 13
MOUNTAIN_ROW:   equ 7
LOGO_ROW:       equ 2
LOGO_COL:       equ 8

; Sound samples (main RAM 0x20000 + 2 x location, written through page 4)
SQUARE_LOC:     equ 0x00
TRIANGLE_LOC:   equ 0x20
PULSE_LOC:      equ 0x40
SILENCE_LOC:    equ 0x60
NOISE_LOC:      equ 0x80
NOISE_WORDS:    equ 1024
TICKS_PER_STEP: equ 64          ; timer interrupts (65536 cycles each) a step: 116 ms
ENV_RATE:       equ 3           ; loop interrupts between volume steps

        org PROGRAM_AREA
start:  di
        call make_samples
        call make_line_program
        call setup_video
        call load_sine
        call make_tiles
        call make_map
        call make_sprites
        call start_sound

        ld hl, 0
        ld (frame), hl
        xor a
        ld (quit), a
        ld (kb_release), a
        ld (scroll_col), a
        ld hl, message
        ld (scroll_ptr), hl

        ld hl, interrupt
        ld (VECTOR_PAGE * 256 + 1), hl
        ld a, VECTOR_PAGE
        ld i, a
        im 2
        xor a
        out (PORT_TIMER), a     ; seed 0: every 65536 cycles
        ld a, 0xFF
        out (PORT_ACK), a
        ld a, IRQ_MASTER | IRQ_TIMER | IRQ_AUDIO | IRQ_KEYBOARD
        out (PORT_IRQ), a
        ei

main_loop:
        call wait_frame
        call move_sprites
        call scroll_text
        ld a, (quit)
        or a
        jr z, main_loop

        di
        xor a
        out (PORT_AUDIO_EN), a
        out (PORT_IRQ), a
        ld (VREG_LINECOP_LO), a
        ld (VREG_SPRCTRL), a
        jp MON_WARM

; Waits for the start of the vertical blank (status bit 0 rises).
wait_frame:
        ld a, (VIDEO_STATUS)
        rra
        jr c, wait_frame
wait_frame_blank:
        ld a, (VIDEO_STATUS)
        rra
        jr nc, wait_frame_blank
        ld hl, (frame)
        inc hl
        ld (frame), hl
        ret

; ---------------------------------------------------------------------------
; Interrupts: timer (music steps), audio (note envelopes), keyboard (Esc).

interrupt:
        push af
        push bc
        push de
        push hl
        in a, (PORT_IRQ)
        bit 2, a
        call nz, timer_tick
        in a, (PORT_IRQ)
        rra
        call c, keyboard
        in a, (PORT_AUDIO_EN)   ; channels that reached the end of their block
        and 0xF0
        call nz, envelopes
        pop hl
        pop de
        pop bc
        pop af
        ei
        reti

keyboard:
        in a, (PORT_KBD)
        cp 0xF0
        jr z, keyboard_release
        cp 0xE0
        jr z, keyboard_next
        ld b, a
        ld a, (kb_release)
        ld c, a
        xor a
        ld (kb_release), a
        or c
        jr nz, keyboard_next    ; a key went up
        ld a, b
        cp 0x76                 ; Esc
        jr nz, keyboard_next
        ld (quit), a
        jr keyboard_next
keyboard_release:
        ld (kb_release), a
keyboard_next:
        in a, (PORT_IRQ)
        rra
        jr c, keyboard
        ld a, IRQ_KEYBOARD
        out (PORT_ACK), a
        ret

timer_tick:
        ld a, IRQ_TIMER
        out (PORT_ACK), a
        ld hl, tick
        inc (hl)
        ld a, (hl)
        cp TICKS_PER_STEP
        ret c
        ld (hl), 0

; Plays the next of the 32 steps of the tune.
music_step:
        ld a, (step)
        inc a
        and 31
        ld (step), a
        ld e, a
        ld d, 0
        ld hl, melody
        add hl, de
        ld a, (hl)
        or a
        jr z, music_bass
        ld c, 0
        call set_note
        ld a, 56
        ld c, 0
        call set_volume
music_bass:
        ld hl, bass
        add hl, de
        ld a, (hl)
        or a
        jr z, music_arp
        ld c, 1
        call set_note
        ld a, 60
        ld c, 1
        call set_volume
music_arp:
        ld a, e                 ; chord tones in turn: chord = step / 8
        and 0x18
        rrca                    ; chord * 4 (three tones and a spare)
        ld c, a
        ld a, e
music_mod3:
        sub 3
        jr nc, music_mod3
        add a, 3
        add a, c
        ld c, a
        ld b, 0
        ld hl, chord_tones
        add hl, bc
        ld a, (hl)
        ld c, 2
        call set_note
        ld a, 30
        ld c, 2
        call set_volume
        ld hl, drums            ; 0 none, else the noise's period register high byte
        add hl, de
        ld a, (hl)
        or a
        ret z
        ld b, a                 ; channel 3 restarts on the noise, then falls silent
        ld c, PORT_AUDIO + 14
        xor a
        out (c), a
        ld a, 0x07
        out (PORT_AUDIO_EN), a
        ld bc, (NOISE_LOC >> 8) * 256 + PORT_AUDIO + 12
        ld a, NOISE_LOC & 0xFF
        out (c), a
        ld bc, (NOISE_WORDS >> 8) * 256 + PORT_AUDIO + 13
        ld a, NOISE_WORDS & 0xFF
        out (c), a
        ld a, 0x0F
        out (PORT_AUDIO_EN), a
        ld bc, PORT_AUDIO + 12
        ld a, SILENCE_LOC
        out (c), a
        ld bc, PORT_AUDIO + 13
        ld a, 1
        out (c), a
        ret

; Channel C plays note A (MIDI number).
set_note:
        sub NOTE_BASE
        add a, a
        ld l, a
        ld h, 0
        push de
        ld de, note_periods
        add hl, de
        pop de
        ld a, c
        add a, a
        add a, a
        add a, PORT_AUDIO + 2
        ld c, a
        ld a, (hl)
        inc hl
        ld b, (hl)
        out (c), a              ; the port's high byte carries the value's
        ret

; Channel C's volume becomes A (the start of an envelope).
set_volume:
        push hl
        ld hl, volume
        ld b, 0
        add hl, bc
        ld (hl), a
        ld hl, env_div
        add hl, bc
        ld (hl), ENV_RATE
        pop hl
write_volume:
        push af
        ld a, c
        add a, a
        add a, a
        add a, PORT_AUDIO + 3
        ld c, a
        pop af
        ld b, 0
        out (c), a
        ret

; A = loop flags (bits 4-7). Acknowledges them and lets the volume of each
; of channels 0-2 that looped fall towards its floor.
envelopes:
        out (PORT_ACK), a
        rrca
        rrca
        rrca
        rrca
        ld e, a                 ; bit n: channel n looped
        ld c, 0
env_loop:
        rr e
        jr nc, env_next
        ld hl, env_div
        ld b, 0
        add hl, bc
        dec (hl)
        jr nz, env_next
        ld (hl), ENV_RATE
        ld hl, env_floor
        add hl, bc
        ld d, (hl)
        ld hl, volume
        add hl, bc
        ld a, d
        cp (hl)
        jr nc, env_next         ; at the floor
        dec (hl)
        ld a, (hl)
        push bc
        push de
        call write_volume
        pop de
        pop bc
env_next:
        inc c
        ld a, c
        cp 3
        jr c, env_loop
        ret

env_floor:
        db 20, 40, 16

; Tune: A minor, F, C, G; two bars of sixteenth notes. 0 holds the note.
melody:
        db 76, 0, 69, 0, 72, 0, 76, 74
        db 72, 0, 69, 0, 65, 0, 69, 72
        db 76, 0, 79, 0, 76, 0, 72, 74
        db 71, 0, 74, 0, 67, 0, 71, 74
bass:
        db 45, 0, 45, 0, 57, 0, 45, 0
        db 41, 0, 41, 0, 53, 0, 41, 0
        db 48, 0, 48, 0, 60, 0, 48, 0
        db 43, 0, 43, 0, 55, 0, 43, 0
chord_tones:
        db 57, 60, 64, 0        ; A minor
        db 53, 57, 60, 0        ; F
        db 60, 64, 67, 0        ; C
        db 55, 59, 62, 0        ; G
drums:                          ; period high byte: 0x0B low thump, 0x02 hiss
        db 0x0B, 0, 0x02, 0, 0x0B, 0, 0x02, 0x02
        db 0x0B, 0, 0x02, 0, 0x0B, 0, 0x02, 0x02
        db 0x0B, 0, 0x02, 0, 0x0B, 0, 0x02, 0x02
        db 0x0B, 0, 0x02, 0, 0x0B, 0x0B, 0x02, 0x02

; ---------------------------------------------------------------------------
; Set-up

; Writes to 0x8000-0xFFFF go to page A while reads stay on this program's
; page; interrupts must be off.
alt_write_on:
        out (PORT_ALTPAGE), a
        ld a, MEM_VRAMWINDOW | MEM_ALTWRITE
        out (PORT_MEMSEL), a
        ret
alt_write_off:
        ld a, MEM_VRAMWINDOW
        out (PORT_MEMSEL), a
        xor a
        out (PORT_ALTPAGE), a
        ret

; The waveforms in main RAM 0x20000 (page 4).
make_samples:
        ld a, 4
        call alt_write_on
        ld hl, 0x8000 + SQUARE_LOC * 2
        ld b, 16
samples_square:
        ld (hl), 48
        inc hl
        djnz samples_square
        ld b, 16
samples_square_low:
        ld (hl), -48 & 0xFF
        inc hl
        djnz samples_square_low
        ld hl, 0x8000 + TRIANGLE_LOC * 2
        ld a, -64 & 0xFF
        ld b, 16
samples_up:
        ld (hl), a
        inc hl
        add a, 8
        djnz samples_up
        ld b, 16
samples_down:
        ld (hl), a
        inc hl
        sub 8
        djnz samples_down
        ld hl, 0x8000 + PULSE_LOC * 2
        ld b, 8
samples_pulse:
        ld (hl), 40
        inc hl
        djnz samples_pulse
        ld b, 24
samples_pulse_low:
        ld (hl), -40 & 0xFF
        inc hl
        djnz samples_pulse_low
        ld hl, 0x8000 + SILENCE_LOC * 2
        ld (hl), 0
        inc hl
        ld (hl), 0
        ld hl, 0x8000 + NOISE_LOC * 2 ; noise from a 16-bit Galois LFSR
        ld de, 0xACE1
        ld bc, NOISE_WORDS * 2
samples_noise:
        srl d
        rr e
        jr nc, samples_noise_bit
        ld a, d
        xor 0xB4
        ld d, a
samples_noise_bit:
        ld a, e
        sra a                   ; -64 .. 63
        ld (hl), a
        inc hl
        dec bc
        ld a, b
        or c
        jr nz, samples_noise
        jp alt_write_off

; The line coprocessor's program at main RAM 0x70000 (page 14): from raster
; line 16 on it writes palette entry 0 on every line, a sky from deep blue
; through purple to orange at the horizon.
make_line_program:
        ld a, 14
        call alt_write_on
        ld hl, 0x8000
        ld (hl), 16             ; wait for line 16
        inc hl
        ld (hl), 0xC0
        inc hl
        ld ix, sky_segments
        ld de, 0x0180           ; red 1.5 (8.8 fixed point)
        exx
        ld de, 0x0080           ; green 0.5
        ld hl, 0x0480           ; blue 4.5
        exx
sky_segment:
        ld b, (ix + 0)          ; lines in this segment
sky_line:
        ld (hl), 0x00           ; set register 0x000 (palette entry 0)
        inc hl
        ld (hl), 0x80
        inc hl
        exx                     ; low byte: green << 4 | blue
        ld a, d
        add a, a
        add a, a
        add a, a
        add a, a
        or h
        exx
        ld (hl), a
        inc hl
        ld (hl), 0x40           ; write, next register
        inc hl
        ld (hl), d              ; high byte: red
        inc hl
        ld (hl), 0x20           ; write, next line
        inc hl
        ld a, e                 ; red += step
        add a, (ix + 1)
        ld e, a
        ld a, d
        adc a, (ix + 2)
        ld d, a
        exx
        ld a, e                 ; green += step
        add a, (ix + 3)
        ld e, a
        ld a, d
        adc a, (ix + 4)
        ld d, a
        ld a, l                 ; blue += step
        add a, (ix + 5)
        ld l, a
        ld a, h
        adc a, (ix + 6)
        ld h, a
        exx
        djnz sky_line
        ld bc, 7
        add ix, bc
        ld a, (ix + 0)
        or a
        jr nz, sky_segment
        ld (hl), 0xFF           ; wait for a line that never comes
        inc hl
        ld (hl), 0xC1
        jp alt_write_off

; lines, then red, green and blue steps as 8.8 words (240 lines in all)
sky_segments:
        db 68
        dw 30, 8, 11
        db 68
        dw 23, 26, -19
        db 104
        dw 0, 0, 0
        db 0

; Tile mode with the picture in tile bank 1, the 400 x 240 window, the
; palette; the line coprocessor is started.
setup_video:
        ld hl, video_setup
        ld d, 0x02
        ld b, VIDEO_SETUP_COUNT
setup_video_reg:
        ld e, (hl)
        inc hl
        ld a, (hl)
        inc hl
        ld (de), a
        djnz setup_video_reg
        ld hl, palette
        ld de, PALETTE
        ld bc, PALETTE_SIZE
        ldir
        ld a, 0x01              ; line coprocessor: start 0x70000, running
        ld (VREG_LINECOP_LO), a
        ret

video_setup:
        db VREG_LINECOP_LO & 0xFF, 0x00
        db VREG_LINECOP_HI & 0xFF, 0x00
        db VREG_SPRCTRL & 0xFF, 0x00
        db VREG_EXT_VIDCTRL & 0xFF, 0x00        ; legacy tiles
        db VREG_VIDCTRL & 0xFF, 0x09            ; tile map, playfield 0 tiles from bank 1
        db VREG_RASTERCTRL & 0xFF, 0x00
        db VREG_WINDOW & 0xFF, 0x2C             ; lines 16 .. 255
        db VREG_RASTERCTRL & 0xFF, 0x04
        db VREG_WINDOW & 0xFF, 0x6F             ; columns 96 .. 495
        db VREG_RASTERCTRL & 0xFF, 0x00
        db VREG_PALETTE_CTRL & 0xFF, 0x02
        db VREG_PALETTE_CTRL & 0xFF, 0x00
        db VREG_BLIT_SRC_BANK & 0xFF, 1
        db VREG_BLIT_DST_BANK & 0xFF, 1
        db VREG_BLIT_MISC & 0xFF, BLIT_ASCENDING
VIDEO_SETUP_COUNT: equ ($ - video_setup) / 2

palette:
        dw 0x0104               ; 0 sky (the line coprocessor repaints it)
        dw 0x0113               ; 1 scroller background, logo shadow
        dw 0x0758, 0x0546, 0x0335, 0x0224 ; 2-5 mountains, light to dark
        dw 0x0000, 0x0EEF       ; 6 unused, 7 snow on the ridges
        dw 0x0A42, 0x0866, 0x0C74, 0x0631 ; 8-11 brick, mortar, light, shadow
        dw 0x05C3, 0x0392, 0x0742, 0x0531 ; 12-15 grass, grass, earth, earth
        dw 0x0F22, 0x0F52, 0x0F82, 0x0FB2 ; 16-31 a rainbow, top to bottom
        dw 0x0FE2, 0x0BE2, 0x07E3, 0x03E5
        dw 0x02E9, 0x02CE, 0x029F, 0x026F
        dw 0x044F, 0x073F, 0x0A3F, 0x0D3E
        dw 0x0300, 0x0500, 0x0711, 0x0922 ; 32-39 red ball, dark to light
        dw 0x0B33, 0x0D55, 0x0E88, 0x0FDD
        dw 0x0013, 0x0025, 0x0037, 0x0149 ; 40-47 blue ball
        dw 0x025B, 0x047D, 0x079E, 0x0CEF
PALETTE_SIZE:   equ $ - palette

; The sine table into the maths assist.
load_sine:
        ld hl, sine
        ld de, MATHS_TABLE
        ld bc, 512
        ldir
        ret

; HL = A x sin(E * 2 pi / 256), by the maths assist.
times_sine:
        ld (MATHS_MUL_LO), a
        xor a
        ld (MATHS_MUL_HI), a
        ld a, e
        ld (MATHS_INDEX), a
        ld a, (MATHS_RESULT_LO)
        ld l, a
        ld a, (MATHS_RESULT_HI)
        ld h, a
        ret

; Selects the VRAM page of tile A (bank 1) and returns its window address.
tile_address:
        push af
        rrca
        rrca
        rrca
        rrca
        rrca
        and 7
        add a, 8                ; bank 1 starts at page 8
        ld (VREG_PAGE), a
        pop af
        and 31
        add a, VRAM_WINDOW >> 8
        ld h, a
        ld l, 0
        ret

; Fills tile A with colour C.
fill_tile:
        call tile_address
        ld d, h
        ld e, l
        inc de
        ld (hl), c
        ld bc, 255
        ldir
        ret

make_tiles:
        ld a, TILE_SKY
        ld c, 0
        call fill_tile
        ld b, 26                ; the scroller starts empty
        ld a, TILE_SCROLL
tiles_scroll:
        push bc
        push af
        ld c, 1
        call fill_tile
        pop af
        pop bc
        inc a
        djnz tiles_scroll
        call make_logo
        call make_mountains
        ; grass: light blades on top, earth below
        ld a, TILE_GRASS
        call tile_address
        ld b, 0                 ; y in the upper nibble, x in the lower
tiles_grass:
        ld a, b
        and 0xF0
        cp 0x20
        ld a, 12
        jr c, tiles_grass_put
        ld a, b
        and 0xF0
        cp 0x50
        jr nc, tiles_earth
        ld a, b                 ; blades: light or dark by (x + y) parity
        rrca
        rrca
        rrca
        rrca
        xor b
        and 1
        add a, 12
        jr tiles_grass_put
tiles_earth:
        ld a, b                 ; earth with darker specks
        rlca
        xor b
        and 0x13
        ld a, 14
        jr nz, tiles_grass_put
        inc a
tiles_grass_put:
        ld (hl), a
        inc hl
        inc b
        jr nz, tiles_grass
        ; bricks: 16 x 8 bricks, every other course shifted by 8
        ld a, TILE_BRICK
        call tile_address
        ld b, 0
tiles_brick:
        ld a, b
        and 0x80                ; y bit 3: the shifted course
        rrca
        rrca
        rrca
        rrca
        add a, b
        and 0x0F                ; x within the brick
        ld c, a
        ld a, b
        and 0x70                ; y within the course
        cp 0x70
        jr z, tiles_mortar
        ld e, a
        ld a, c
        or a
        jr z, tiles_mortar
        ld a, e
        or a
        ld a, 10                ; top edge: light
        jr z, tiles_brick_put
        ld a, e
        cp 0x60
        jr z, tiles_brick_shadow
        ld a, c
        cp 15
        jr z, tiles_brick_shadow
        ld a, 8
        jr tiles_brick_put
tiles_brick_shadow:
        ld a, 11
        jr tiles_brick_put
tiles_mortar:
        ld a, 9
tiles_brick_put:
        ld (hl), a
        inc hl
        inc b
        jr nz, tiles_brick
        ret

; The logo: "VEXA" from the console font, each font pixel 4 x 4, each
; letter four tiles; rainbow colours by row and a dark shadow down-right.
make_logo:
        ld ix, logo_text
        ld a, TILE_LOGO
logo_letter:
        push af
        ld a, (ix + 0)
        call glyph_address
        ld (logo_glyph), hl
        pop af
        ld c, 0                 ; quarter: bit 0 right half, bit 1 lower half
logo_quarter:
        push af
        push bc
        call tile_address
        pop bc
        push bc
        ld b, 0                 ; y in the upper nibble, x in the lower
logo_pixel:
        ld a, b                 ; font row = quarter.y * 4 + y / 4
        rrca
        rrca
        rrca
        rrca
        and 0x0C
        rrca
        rrca
        ld d, a
        ld a, c
        and 2
        add a, a
        add a, d
        ld d, a                 ; D = font row
        ld a, b                 ; font column = quarter.x * 4 + x / 4
        and 0x0C
        rrca
        rrca
        ld e, a
        ld a, c
        and 1
        add a, a
        add a, a
        add a, e
        ld e, a                 ; E = font column
        call font_pixel
        jr z, logo_unlit
        ld a, c                 ; rainbow: 16 + (quarter.y * 16 + y) / 2
        and 2
        rlca
        rlca
        rlca
        ld e, a
        ld a, b
        rrca
        rrca
        rrca
        rrca
        and 0x0F
        rrca
        and 0x07
        add a, e
        add a, 16
        jr logo_put
logo_unlit:
        dec d                   ; the pixel up-left lit: shadow
        dec e
        call font_pixel
        ld a, 0
        jr z, logo_put
        inc a
logo_put:
        ld (hl), a
        inc hl
        inc b
        jr nz, logo_pixel
        pop bc
        pop af
        inc a
        inc c
        bit 2, c
        jr z, logo_quarter
        inc ix
        ld e, a
        ld a, (ix + 0)
        or a
        ld a, e
        jr nz, logo_letter
        ret

; NZ when pixel (column E, row D) of the glyph at (logo_glyph) is lit;
; coordinates outside 0-7 are unlit. Keeps BC, HL.
font_pixel:
        ld a, d
        cp 8
        jr nc, font_pixel_off
        ld a, e
        cp 8
        jr nc, font_pixel_off
        push hl
        push bc
        ld hl, (logo_glyph)
        ld c, d
        ld b, 0
        add hl, bc
        ld b, e
        inc b
        ld a, (hl)
font_pixel_shift:
        rla
        djnz font_pixel_shift
        pop bc
        pop hl
        sbc a, a                ; carry: the pixel
        ret
font_pixel_off:
        xor a
        ret

logo_glyph:
        dw 0

; HL = the font's glyph of character A.
glyph_address:
        sub 0x20
        ld l, a
        ld h, 0
        add hl, hl
        add hl, hl
        add hl, hl
        ld de, font8x8
        add hl, de
        ret
logo_text:
        db "VEXA", 0

; Mountains: the outline of every column is 16 + 10 sin(3x) + 5 sin(7x + 50)
; pixels, worked out by the maths assist, over two rows of tiles.
make_mountains:
        ld hl, heights
        ld bc, 0                ; x
mountain_height:
        push hl
        push bc
        ld a, c                 ; E = 3x
        add a, a
        add a, c
        ld e, a
        ld a, 10
        call times_sine
        ld d, l
        pop bc
        push bc
        ld a, c                 ; E = 7x + 50
        add a, a
        add a, a
        add a, a
        sub c
        add a, 50
        ld e, a
        ld a, 5
        push de
        call times_sine
        pop de
        ld a, l
        add a, d
        add a, 16
        pop bc
        pop hl
        ld (hl), a
        inc hl
        inc bc
        ld a, b                 ; 400 columns
        cp 400 >> 8
        jr nz, mountain_height
        ld a, c
        cp 400 & 0xFF
        jr nz, mountain_height

        ld c, 0                 ; tile column
mountain_column:
        ld a, TILE_MOUNTAIN
        add a, c
        ld (mountain_tile), a
        xor a
        ld (mountain_top), a
        call mountain_tile_draw
        ld a, TILE_MOUNTAIN + 25
        add a, c
        ld (mountain_tile), a
        ld a, 16
        ld (mountain_top), a
        call mountain_tile_draw
        inc c
        ld a, c
        cp 25
        jr nz, mountain_column
        ret

; Draws (mountain_tile) for tile column C, rows (mountain_top) .. +15 of the
; 32-line band.
mountain_tile_draw:
        push bc
        ld a, (mountain_tile)
        call tile_address
        ld a, c                 ; DE = heights + 16 * column
        ld e, a
        ld d, 0
        ex de, hl
        add hl, hl
        add hl, hl
        add hl, hl
        add hl, hl
        ld bc, heights
        add hl, bc
        ex de, hl
        ld a, (mountain_top)
        ld b, a                 ; B = band line
        ld c, 16
mountain_line:
        push de
        push bc
        ld c, 16
mountain_pixel:
        ld a, (de)              ; top of this column = 32 - height
        neg
        add a, 32
        neg
        add a, b                ; depth = line - top
        jp m, mountain_sky
        cp 2
        ld a, 7                 ; the ridge
        jr c, mountain_put
        ld a, (de)
        neg
        add a, 32
        neg
        add a, b
        rrca
        rrca
        rrca
        and 0x1F
        cp 4
        jr c, mountain_shade
        ld a, 3
mountain_shade:
        add a, 2
        jr mountain_put
mountain_sky:
        xor a
mountain_put:
        ld (hl), a
        inc hl
        inc de
        dec c
        jr nz, mountain_pixel
        pop bc
        pop de
        inc b
        dec c
        jr nz, mountain_line
        pop bc
        ret

mountain_tile:
        db 0
mountain_top:
        db 0

; The tile map of playfield 0 (VRAM 0x0000, 32 bytes a row).
make_map:
        xor a
        ld (VREG_PAGE), a
        ld hl, VRAM_WINDOW      ; everything sky first
        ld de, VRAM_WINDOW + 1
        ld bc, 15 * 32 - 1
        ld (hl), TILE_SKY
        ldir
        ld hl, VRAM_WINDOW + LOGO_ROW * 32 + LOGO_COL
        ld a, TILE_LOGO
        ld b, 4
map_logo:
        ld (hl), a              ; upper quarters
        inc a
        inc hl
        ld (hl), a
        inc a
        push hl
        ld de, 31
        add hl, de
        ld (hl), a              ; lower quarters
        inc a
        inc hl
        ld (hl), a
        inc a
        pop hl
        inc hl
        djnz map_logo
        ld hl, VRAM_WINDOW + MOUNTAIN_ROW * 32
        ld a, TILE_MOUNTAIN
        ld b, 50
map_mountain:
        ld (hl), a
        inc a
        inc hl
        cp TILE_MOUNTAIN + 25
        jr nz, map_mountain_next
        ld hl, VRAM_WINDOW + (MOUNTAIN_ROW + 1) * 32
map_mountain_next:
        djnz map_mountain
        ld hl, map_rows
map_row:
        ld a, (hl)
        or a
        ret z
        inc hl
        ld e, a                 ; DE = row address (rows 8-14)
        ld d, (VRAM_WINDOW >> 8) + 1
        ld a, (hl)              ; tile; for the scroller, the first of 25
        inc hl
        ld c, (hl)              ; 1: consecutive tiles
        inc hl
        ld b, 25
map_cell:
        ld (de), a
        inc de
        add a, c
        djnz map_cell
        jr map_row

map_rows:                       ; row offset (low byte), tile, step
        db 9 * 32 & 0xFF, TILE_GRASS, 0
        db 10 * 32 & 0xFF, TILE_BRICK, 0
        db 11 * 32 & 0xFF, TILE_BRICK, 0
        db 12 * 32 & 0xFF, TILE_BRICK, 0
        db 13 * 32 & 0xFF, TILE_SCROLL, 1
        db 14 * 32 & 0xFF, TILE_BRICK, 0
        db 0

; Sound: the four channels on their waveforms, silent until the first step.
start_sound:
        xor a
        out (PORT_AUDIO_EN), a
        ld hl, sound_setup
sound_reg:
        ld a, (hl)
        or a
        jr z, sound_go
        ld c, a
        inc hl
        ld a, (hl)
        inc hl
        ld b, (hl)
        inc hl
        out (c), a              ; B, the port's high byte, is the value's
        jr sound_reg
sound_go:
        xor a
        ld (tick), a
        ld a, 31
        ld (step), a
        call music_step         ; step 0 at once
        ld a, 0x0F
        out (PORT_AUDIO_EN), a
        ret

; port, value (low byte, high byte)
sound_setup:
        db PORT_AUDIO + 0
        dw SQUARE_LOC
        db PORT_AUDIO + 1
        dw 16
        db PORT_AUDIO + 4
        dw TRIANGLE_LOC
        db PORT_AUDIO + 5
        dw 16
        db PORT_AUDIO + 8
        dw PULSE_LOC
        db PORT_AUDIO + 9
        dw 16
        db PORT_AUDIO + 12
        dw SILENCE_LOC
        db PORT_AUDIO + 13
        dw 1
        db PORT_AUDIO + 15
        dw 44                   ; the noise channel's volume
        db 0

; Two sprite images, the red ball and the same ball in blue, and the
; sprites switched on.
make_sprites:
        ld a, 0x80              ; sprite RAM page 0
        ld (VREG_PAGE), a
        ld a, MEM_VRAMWINDOW | MEM_SPRWINDOW
        out (PORT_MEMSEL), a
        ld hl, ball
        ld de, 0x1000           ; definition 0
        ld bc, 256
        ldir
        ld hl, ball
        ld b, 0                 ; definition 1 at 0x1100
sprites_blue:
        ld a, (hl)
        or a
        jr z, sprites_blue_put
        add a, 8
sprites_blue_put:
        ld (de), a
        inc hl
        inc de
        djnz sprites_blue
        ld a, MEM_VRAMWINDOW
        out (PORT_MEMSEL), a
        call move_sprites
        ld a, 0x01
        ld (VREG_SPRCTRL), a
        ret

; Eight balls on a figure of eight: x = 150 cos(a), y = 40 sin(2a), a
; moving two steps a frame and the balls 32 steps apart.
move_sprites:
        ld ix, SPRITE_REGS
        ld b, 0
move_sprite:
        push bc
        ld a, b
        rrca
        rrca
        rrca                    ; ball * 32
        ld c, a
        ld a, (frame)
        add a, a
        add a, c
        ld (angle), a
        add a, 64
        ld e, a
        ld a, 150
        call times_sine
        ld de, 95 + 200 - 8     ; cell 96 is the picture's left edge
        add hl, de
        ld (ix + 0), l
        ld a, h
        and 1
        ld c, a                 ; x bit 8
        ld a, (angle)
        add a, a
        ld e, a
        ld a, 40
        push bc
        call times_sine
        pop bc
        ld de, 16 + 84 - 8      ; line 16 is the picture's top
        add hl, de
        ld (ix + 2), l
        ld a, h
        and 1
        add a, a
        or c
        or 0x10                 ; 16 lines high
        ld c, a
        pop de                  ; D = ball number
        push de
        ld a, d
        and 1                   ; red and blue in turn
        ld (ix + 3), a
        ld (ix + 1), c
        ld de, 4
        add ix, de
        pop bc
        inc b
        ld a, b
        cp 8
        jr nz, move_sprite
        ret

angle:  db 0

; The scroller: the blitter moves the 26 tiles of the strip two pixels to the
; left (the first two columns of each tile are saved, the rest of each row
; moves, the saved columns go to the end of the tile before), then two new
; pixel columns of the message go into the last tile.
scroll_text:
        ld hl, scroll_blits
        ld b, 6
scroll_blit:
        push bc
        ld de, VREG_BLIT_SRC_LO ; 0x210-0x217; the width, written last, runs it
        ld bc, 8
        ldir
        pop bc
        djnz scroll_blit

        ld hl, (scroll_ptr)
        ld a, (hl)
        call glyph_address
        ex de, hl               ; DE = glyph
        ld a, (scroll_col)
        ld b, a
        inc b
        xor a
        scf
scroll_mask:
        rra
        djnz scroll_mask
        ld c, a                 ; C = this column's bit
        ld a, TILE_SCROLL + 25
        call tile_address
        ld a, l
        add a, 14
        ld l, a
        ld b, 0                 ; font row
scroll_row:
        ld a, (de)
        and c
        ld a, 1                 ; background
        jr z, scroll_put
        ld a, b
        add a, a
        add a, 16               ; rainbow by row
scroll_put:
        push de
        ld de, 15
        ld (hl), a              ; each font pixel 2 x 2
        inc hl
        ld (hl), a
        add hl, de
        ld (hl), a
        inc hl
        ld (hl), a
        add hl, de
        pop de
        inc de
        inc b
        ld a, b
        cp 8
        jr nz, scroll_row

        ld hl, scroll_col
        inc (hl)
        ld a, (hl)
        cp 8
        ret nz
        ld (hl), 0
        ld hl, (scroll_ptr)
        inc hl
        ld a, (hl)
        or a
        jr nz, scroll_next
        ld hl, message
scroll_next:
        ld (scroll_ptr), hl
        ret

; src, dst (bank 1), src modulo, dst modulo, rows - 1, bytes - 1
scroll_blits:
        dw (TILE_SCROLL + 1) * 256, TILE_TEMP * 256
        db 14, 14, 255, 1
        dw (TILE_SCROLL + 17) * 256, (TILE_TEMP + 16) * 256
        db 14, 14, 143, 1
        dw TILE_SCROLL * 256 + 2, TILE_SCROLL * 256
        db 2, 2, 255, 13
        dw (TILE_SCROLL + 16) * 256 + 2, (TILE_SCROLL + 16) * 256
        db 2, 2, 159, 13
        dw TILE_TEMP * 256, TILE_SCROLL * 256 + 14
        db 14, 14, 255, 1
        dw (TILE_TEMP + 16) * 256, (TILE_SCROLL + 16) * 256 + 14
        db 14, 14, 143, 1

message:
        db "Welcome to the Vexa board!   Tiles, sprites, the blitter, "
        db "the line coprocessor, four sound channels, the timer and the "
        db "maths assist, all at work.   Press Esc to go back to the "
        db "monitor.          ", 0

        include "tables.inc"
        include "font8x8.inc"

        ds $ > 0xF000 ? -1 : 0  ; the variables start at 0xF000
