; Runs whole instruction groups over many inputs and prints, per group, the
; CRC-32 of every result byte (the register, then F) as "NAME CRC xxxxxxxx".
; The test that runs this program works the same sums out on its own and
; compares them. Ends with "DONE".
;
; Every group feeds the operation under test through a two-byte slot that
; the program patches before each run of it.

                org 0x0100

                jp start

                include "cpm.inc"

start:
                ld sp,stack_top
                call crc_make_table
                call group_alu
                call group_neg
                call group_daa
                call group_rotate_a
                call group_rotate
                call group_incdec
                call group_bit
                call group_arith16
                ld de,msg_done
                call print
                jp 0

msg_done:       db "DONE", 13, 10, "$"

; ---------------------------------------------------------------------------
; Runners: load the registers, run the slot, feed the results to the CRC.

; H = A and L = F going in, B = operand. Feeds A, then F.
a_one:
                push hl
                pop af
a_slot:         db 0, 0
                jp crc_af

; B = value, L = F going in. Feeds B, then F.
b_one:
                ld h,0
                push hl
                pop af
b_slot:         db 0, 0
                ld a,b
                jp crc_af

; HL and BC set, E = F going in. Feeds H, L, then F.
w_one:
                ld d,0
                push de
                pop af
w_slot:         db 0, 0
                push af
                ld a,h
                call crc_byte
                ld a,l
                call crc_byte
                pop de
                ld a,e
                jp crc_byte

; ---------------------------------------------------------------------------
; ADD ADC SUB SBC AND XOR OR CP A,B: every A, 16 operands, carry clear and
; set (F all zeros or all ones).

group_alu:
                call crc_init
                xor a
                ld (a_slot+1),a
                ld (op_i),a
alu_op_loop:
                ld a,(op_i)
                rlca
                rlca
                rlca
                or 0x80
                ld (a_slot),a
                xor a
                ld (val_i),a
alu_a_loop:
                ld hl,operands
                ld b,16
alu_v_loop:
                push bc
                push hl
                ld b,(hl)
                ld a,(val_i)
                ld h,a
                ld l,0x00
                call a_one
                ld a,(val_i)
                ld h,a
                ld l,0xFF
                call a_one
                pop hl
                pop bc
                inc hl
                djnz alu_v_loop
                ld hl,val_i
                inc (hl)
                jr nz,alu_a_loop
                ld hl,op_i
                inc (hl)
                ld a,(hl)
                cp 8
                jr nz,alu_op_loop
                ld de,name_alu
                jp crc_report

operands:       db 0x00, 0x01, 0x0F, 0x10, 0x7F, 0x80, 0x81, 0xFF
                db 0x3C, 0x55, 0xAA, 0xC3, 0x08, 0x99, 0x66, 0xF0

; NEG of every value, with F all ones and all zeros.
group_neg:
                call crc_init
                ld a,0xED
                ld (a_slot),a
                ld a,0x44
                ld (a_slot+1),a
                ld c,0xFF
neg_f_loop:
                xor a
                ld (val_i),a
neg_loop:
                ld a,(val_i)
                ld h,a
                ld l,c
                call a_one
                ld hl,val_i
                inc (hl)
                jr nz,neg_loop
                ld a,c
                xor 0xFF
                ld c,a
                jr z,neg_f_loop
                ld de,name_neg
                jp crc_report

; DAA for all 2048 combinations of A, C, H and N (in that index order).
group_daa:
                call crc_init
                ld a,0x27
                ld (a_slot),a
                xor a
                ld (a_slot+1),a
                ld hl,daa_flags
                ld b,8
daa_f_loop:
                push bc
                push hl
                ld a,(hl)
                ld (f_in),a
                xor a
                ld (val_i),a
daa_a_loop:
                ld a,(val_i)
                ld h,a
                ld a,(f_in)
                ld l,a
                call a_one
                ld hl,val_i
                inc (hl)
                jr nz,daa_a_loop
                pop hl
                pop bc
                inc hl
                djnz daa_f_loop
                ld de,name_daa
                jp crc_report

; C in bit 8 of the index, H in bit 9, N in bit 10.
daa_flags:      db 0x00, 0x01, 0x10, 0x11, 0x02, 0x03, 0x12, 0x13

; RLCA RRCA RLA RRA on every A with four F patterns.
group_rotate_a:
                call crc_init
                xor a
                ld (a_slot+1),a
                ld hl,rotate_a_ops
                ld b,4
rota_op_loop:
                push bc
                push hl
                ld a,(hl)
                ld (a_slot),a
                xor a
                ld (val_i),a
rota_v_loop:
                ld hl,f_patterns
                ld b,4
rota_f_loop:
                push bc
                push hl
                ld l,(hl)
                ld a,(val_i)
                ld h,a
                call a_one
                pop hl
                pop bc
                inc hl
                djnz rota_f_loop
                ld hl,val_i
                inc (hl)
                jr nz,rota_v_loop
                pop hl
                pop bc
                inc hl
                djnz rota_op_loop
                ld de,name_rota
                jp crc_report

rotate_a_ops:   db 0x07, 0x0F, 0x17, 0x1F
f_patterns:     db 0x00, 0xFF, 0x28, 0xD7

; CB rotates and shifts of B (SLL included): every value, F all zeros and all ones.
group_rotate:
                call crc_init
                xor a
                call cb_eight_ops
                ld de,name_rotate
                jp crc_report

; INC B, then DEC B.
group_incdec:
                call crc_init
                xor a
                ld (b_slot+1),a
                ld a,0x04
                ld (b_slot),a
                call b_all_values
                ld a,0x05
                ld (b_slot),a
                call b_all_values
                ld de,name_incdec
                jp crc_report

; BIT 0,B ... BIT 7,B.
group_bit:
                call crc_init
                ld a,0x40
                call cb_eight_ops
                ld de,name_bit
                jp crc_report

; Runs b_all_values for the eight CB opcodes A | y << 3 on B (y = 0..7).
cb_eight_ops:
                ld (cb_base),a
                ld a,0xCB
                ld (b_slot),a
                xor a
                ld (op_i),a
cb_op_loop:
                ld a,(op_i)
                rlca
                rlca
                rlca
                ld hl,cb_base
                or (hl)
                ld (b_slot+1),a
                call b_all_values
                ld hl,op_i
                inc (hl)
                ld a,(hl)
                cp 8
                jr nz,cb_op_loop
                ret

; Runs b_one on every value, each with F all zeros and then all ones.
b_all_values:
                xor a
                ld (val_i),a
b_all_loop:
                ld a,(val_i)
                ld b,a
                ld l,0x00
                call b_one
                ld a,(val_i)
                ld b,a
                ld l,0xFF
                call b_one
                ld hl,val_i
                inc (hl)
                jr nz,b_all_loop
                ret

; ADD HL,BC, ADC HL,BC, SBC HL,BC over 16 x 16 words, F all zeros and all ones.
group_arith16:
                call crc_init
                ld hl,arith16_ops
                ld b,3
ar_op_loop:
                push bc
                ld a,(hl)
                ld (w_slot),a
                inc hl
                ld a,(hl)
                ld (w_slot+1),a
                inc hl
                push hl
                ld hl,words
                ld (p_first),hl
                ld a,16
                ld (count_first),a
ar_first_loop:
                ld hl,words
                ld (p_second),hl
                ld a,16
                ld (count_second),a
ar_second_loop:
                ld e,0x00
                call ar_one
                ld e,0xFF
                call ar_one
                ld hl,(p_second)
                inc hl
                inc hl
                ld (p_second),hl
                ld hl,count_second
                dec (hl)
                jr nz,ar_second_loop
                ld hl,(p_first)
                inc hl
                inc hl
                ld (p_first),hl
                ld hl,count_first
                dec (hl)
                jr nz,ar_first_loop
                pop hl
                pop bc
                djnz ar_op_loop
                ld de,name_arith16
                jp crc_report

; HL = the first word, BC = the second; E = F going in.
ar_one:
                ld hl,(p_second)
                ld c,(hl)
                inc hl
                ld b,(hl)
                ld hl,(p_first)
                ld a,(hl)
                inc hl
                ld h,(hl)
                ld l,a
                jp w_one

arith16_ops:    db 0x09, 0x00               ; ADD HL,BC
                db 0xED, 0x4A               ; ADC HL,BC
                db 0xED, 0x42               ; SBC HL,BC
words:          dw 0x0000, 0x0001, 0x0FFF, 0x1000, 0x7FFF, 0x8000, 0xFFFF, 0x1234
                dw 0xF00F, 0x8001, 0x4000, 0x00FF, 0xFF00, 0x5555, 0xAAAA, 0x7FFE

name_alu:       db "ALU$"
name_neg:       db "NEG$"
name_daa:       db "DAA$"
name_rota:      db "ROTATE A$"
name_rotate:    db "ROTATE$"
name_incdec:    db "INC DEC$"
name_bit:       db "BIT$"
name_arith16:   db "ADD ADC SBC 16$"

; ---------------------------------------------------------------------------
; CRC-32 (reflected, polynomial 0xEDB88320), table driven.

crc_init:
                ld hl,0xFFFF
                ld (crc),hl
                ld (crc+2),hl
                ret

; Feeds A, then F.
crc_af:
                push af
                call crc_byte
                pop hl
                ld a,l
                jp crc_byte

; Feeds the byte in A. Keeps BC, DE and HL.
crc_byte:
                push bc
                push de
                push hl
                ld hl,crc
                xor (hl)
                ld l,a
                ld h,0
                add hl,hl
                add hl,hl
                ld de,crc_table
                add hl,de
                ld a,(crc+1)
                xor (hl)
                ld (crc),a
                inc hl
                ld a,(crc+2)
                xor (hl)
                ld (crc+1),a
                inc hl
                ld a,(crc+3)
                xor (hl)
                ld (crc+2),a
                inc hl
                ld a,(hl)
                ld (crc+3),a
                pop hl
                pop de
                pop bc
                ret

; Prints the group name at DE, " CRC " and the finished CRC.
crc_report:
                call print
                ld de,msg_crc
                call print
                ld hl,crc+3
                ld b,4
crc_report_loop:
                ld a,(hl)
                cpl
                call puthex8
                dec hl
                djnz crc_report_loop
                jp newline

msg_crc:        db " CRC $"

crc_make_table:
                ld ix,crc_table
                ld c,0
crc_entry:
                ld l,c
                ld h,0
                ld de,0
                ld b,8
crc_bit:
                srl d
                rr e
                rr h
                rr l
                jr nc,crc_no_xor
                ld a,d
                xor 0xED
                ld d,a
                ld a,e
                xor 0xB8
                ld e,a
                ld a,h
                xor 0x83
                ld h,a
                ld a,l
                xor 0x20
                ld l,a
crc_no_xor:
                djnz crc_bit
                ld (ix+0),l
                ld (ix+1),h
                ld (ix+2),e
                ld (ix+3),d
                ld de,4
                add ix,de
                inc c
                jr nz,crc_entry
                ret

; ---------------------------------------------------------------------------
; Work areas

crc:            ds 4
op_i:           db 0
cb_base:        db 0
val_i:          db 0
f_in:           db 0
p_first:        dw 0
p_second:       dw 0
count_first:    db 0
count_second:   db 0
                ds 256
stack_top:
crc_table:      ds 1024
