#pragma once

#include <QByteArray>
#include <QString>

// Base64 with the alphabet and "=" padding of RFC 4648, section 4: byte arrays, strings, the
// Base64 part of a MIME message, and whole files. The encoder writes one unbroken line; the
// decoders drop every character outside the alphabet (line breaks, blanks) before decoding.
//
// Malformed Base64 (a kept character count that is not a multiple of four, or a "=" anywhere but
// in the last one or two places) is reported, never thrown: the decoders return -1 and leave the
// output array as it was; the file members return false. Text travels as Latin-1, so a character
// outside it becomes "?" and is dropped like any other character outside the alphabet.
//
// The output array takes exactly the result; when it is not shared with another array and is
// already large enough, its memory is reused, so a loop of conversions allocates nothing.
//
// The codec keeps no state: one instance may run any number of conversions, one after the other.
class clsBase64
{
public:
    // The Base64 characters of `dati`, "=" padded, no line break. Result: the number of
    // characters written, or -1 (output untouched) when the text would exceed 2^31 - 1 characters.
    qint32 Base64Encoder(const QByteArray &dati, QByteArray &testo) const;
    // As Base64Encoder, the text as a string.
    qint32 Base64EncoderString(const QByteArray &dati, QString &testo) const;

    // Decodes the Base64 data of a MIME message: with a "boundary=" parameter every part between
    // the first and the last delimiter is examined, else the whole text is one part. In a part
    // the data begin at the first line, ended by LF, longer than 50 characters that holds none of
    // ";", " ", ":", "=" and the double quote, and end at the next "--" or the end of the part.
    // Each part with data replaces `dati`; a part without data leaves it as it was.
    // Result 0, or -1 when a part's data are malformed (with `dati` as the earlier parts left it).
    qint32 Base64DecoderStringMIME(const QString &messaggio, QByteArray &dati) const;
    // Result 0, or -1 on malformed input with `dati` unchanged.
    qint32 Base64DecoderString(const QString &testo, QByteArray &dati) const;
    qint32 Base64Decoder(const QByteArray &testo, QByteArray &dati) const;

    // Convert a whole file, a block at a time, into the same bytes as converting it in memory.
    // The destination is deleted first; the new content is written to a temporary file in the
    // destination's folder and renamed only when complete, so the destination is whole or absent.
    // False on any failure: missing or unreadable source, malformed Base64, destination not
    // writable. An empty source gives an empty destination.
    bool EncodeFile(const QString &sourceFileName, const QString &destFileName) const;
    bool DecodeFile(const QString &sourceFileName, const QString &destFileName) const;
};
