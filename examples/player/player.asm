; TICKTRACE reference player for the ATmega328P (avra): plays an exported sound on one pin.
;
; The sound is the player source text that File > Export Beepster or
; `ticktrace-convert --export sound.txt` writes, included below as sound.txt. Its data words
; hold the bits in time order: each flash byte 8 frames, the earliest in bit 7; a 1 means the
; pin is driven down (low), a 0 up (high).
;
; The pin is OC1A (PB1, Arduino pin 9). Timer 1 counts the CPU clock in CTC mode and sets or
; clears OC1A itself at every compare match, so a bit lasts exactly CYCLES_PER_BIT clock cycles
; whatever the code does in between; the code only chooses, after each match, what the next
; match does. CYCLES_PER_BIT is the CPU clock over the sound's rate: 1000 for 16 MHz and
; 16000 Hz (`ticktrace-convert --rate 16000000/1000`). At least 40.
;
; Build: avra player.asm (player.hex), with sound.txt beside it. Flash: see README.md.

.include "m328Pdef.inc"

.ifndef CYCLES_PER_BIT
.equ CYCLES_PER_BIT = 1000
.endif

.cseg
.org 0
	rjmp start

start:
	ldi r16, high(RAMEND)
	out SPH, r16
	ldi r16, low(RAMEND)
	out SPL, r16
	sbi DDRB, 1                        ; OC1A drives the filter
	ldi r16, high(CYCLES_PER_BIT - 1)  ; the 16-bit register: high byte first
	sts OCR1AH, r16
	ldi r16, low(CYCLES_PER_BIT - 1)
	sts OCR1AL, r16
	ldi ZL, low(2 * sound_start)
	ldi ZH, high(2 * sound_start)
	ldi r24, low(2 * sound_end)
	ldi r25, high(2 * sound_end)
	ldi r16, (1 << WGM12) | (1 << CS10)  ; CTC at OCR1A, the clock undivided: the timer runs
	sts TCCR1B, r16

next_byte:
	lpm r17, Z+                        ; 8 frames, the earliest in bit 7
	ldi r18, 8
next_bit:
	ldi r16, (1 << COM1A1) | (1 << COM1A0)  ; a 0: set OC1A (high) at the next match
	sbrc r17, 7
	ldi r16, (1 << COM1A1)                   ; a 1: clear OC1A (low)
	sts TCCR1A, r16
	lsl r17
wait_for_match:
	sbis TIFR1, OCF1A
	rjmp wait_for_match
	ldi r16, (1 << OCF1A)              ; written 1 clears the flag
	out TIFR1, r16
	dec r18
	brne next_bit
	cp ZL, r24
	cpc ZH, r25
	brne next_byte

	clr r16                            ; the end: OC1A let go, the pin at PORTB's low
	sts TCCR1A, r16
done:
	rjmp done

sound_start:
.include "sound.txt"
sound_end:
