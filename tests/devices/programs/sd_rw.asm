; Talks to the SD card through port 0x0A: reset, initialise, read block 1,
; write a block inside the image and one past its end, then read both back.
; Every response byte is kept in RAM for the test to check.
SPI:     equ 0x0A
RESP:    equ 0x8000 ; short responses, in order
READ1:   equ 0x8100 ; block 1 as read (512 bytes)
BACK1:   equ 0x8300 ; the block written at 0x400, read back
BACK2:   equ 0x8500 ; the block written at 0x1000, read back

    org 0
    di
    ld sp, 0xFF00
    ld hl, cmd0
    call send
    ld hl, RESP
    ld b, 2
    call recv               ; FF 01
    ld hl, cmd55
    call send
    ld hl, acmd41
    call send
    ld hl, RESP + 2
    ld b, 4
    call recv               ; FF 00 FF 00
    ld (resp_ptr), hl       ; the block commands log from RESP + 6 on
    ld hl, cmd17_200
    ld de, READ1
    call read_block         ; RESP+6..9: 00 FE FF FF
    ld hl, cmd24_400
    ld e, 0xA5
    call write_block        ; RESP+10..13: FF 00 04 FF
    ld hl, cmd24_1000
    ld e, 0x3C
    call write_block        ; RESP+14..17
    ld hl, cmd17_400
    ld de, BACK1
    call read_block         ; RESP+18..21
    ld hl, cmd17_1000
    ld de, BACK2
    call read_block         ; RESP+22..25
done:
    jr done

; Sends the 6-byte command frame at HL.
send:
    ld bc, 0x060A           ; six bytes to port SPI
    otir
    ret

; Reads B bytes (0 = 256) into HL.
recv:
    ld c, SPI
    inir
    ret

; Sends the command at HL, then reads the start bytes, 512 data bytes into DE
; and the two CRC bytes. The four framing bytes are logged at (resp_ptr).
read_block:
    call send
    ld hl, (resp_ptr)
    ld b, 2
    call recv
    push hl
    ex de, hl
    ld b, 0
    call recv
    ld b, 0
    call recv
    pop hl
    ld b, 2
    call recv
    ld (resp_ptr), hl
    ret

; Sends the command at HL, reads its answer, then the start token and 512
; bytes where byte k is (-k & 0xFF) xor E, the CRC, and reads the data
; response. The four response bytes are logged at (resp_ptr).
write_block:
    call send
    ld hl, (resp_ptr)
    ld b, 2
    call recv
    ld a, 0xFE
    out (SPI), a
    ld d, 2
wb_outer:
    ld b, 0
wb_inner:
    ld a, b
    xor e
    out (SPI), a
    djnz wb_inner
    dec d
    jr nz, wb_outer
    ld a, 0xFF
    out (SPI), a
    out (SPI), a
    ld b, 2
    call recv
    ld (resp_ptr), hl
    ret

resp_ptr: equ 0x80FE

cmd0:       db 0x40, 0, 0, 0, 0, 0x95
cmd55:      db 0x77, 0, 0, 0, 0, 0xFF
acmd41:     db 0x69, 0x40, 0, 0, 0, 0xFF
cmd17_200:  db 0x51, 0, 0, 0x02, 0x00, 0xFF
cmd17_400:  db 0x51, 0, 0, 0x04, 0x00, 0xFF
cmd17_1000: db 0x51, 0, 0, 0x10, 0x00, 0xFF
cmd24_400:  db 0x58, 0, 0, 0x04, 0x00, 0xFF
cmd24_1000: db 0x58, 0, 0, 0x10, 0x00, 0xFF
