#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class Rijndael256;

// The plug-in's cipher: Rijndael with a 256-bit block and a 256-bit key (not AES, whose block is
// 128 bits), each 32-byte block enciphered on its own with the same key. The key is the pass text
// PassAES() as UTF-16LE bytes followed by zero bytes up to 32.
//
// What is enciphered is a frame: the number L of plain bytes as a 32-bit little-endian integer,
// the L bytes, then zero bytes up to the next multiple of 32. A text's plain bytes are its UTF-16LE
// bytes; decrypted bytes are read back the same way, an odd last byte dropped.
//
// Texts travel as one line of Base64 (RFC 4648 alphabet, "=" fill). Files carry the frame's
// cipher bytes as they are, and their own bytes are read and written one character per byte
// (Latin-1).
//
// Nothing here throws: input that is not a cipher text gives an empty text.
class clsAES
{
public:
    clsAES();
    ~clsAES();
    Q_DISABLE_COPY_MOVE(clsAES)

    // The Base64 cipher text of `testo`: 44 characters up to 14 characters of text, 88 up to 30.
    QString EncryptStr(const QString &testo) const;
    // The text back from EncryptStr's Base64, characters outside the alphabet skipped; empty when it
    // is not one (too short, malformed Base64, not whole blocks, a length that does not fit).
    QString DecryptStr(const QString &base64) const;

    // False when InFile is missing or unreadable, when OutFile exists and Overwrite is false (OutFile
    // is then left alone), or when OutFile cannot be written. Otherwise OutFile is deleted and
    // written anew. DecryptFile writes an empty OutFile for an InFile that is no cipher text.
    bool EncryptFile(const QString &InFile, const QString &OutFile, bool Overwrite) const;
    bool DecryptFile(const QString &InFile, const QString &OutFile, bool Overwrite) const;

    // As clsBase64::Base64DecoderStringMIME.
    qint32 Base64DecoderStringMIME(const QString &messaggio, QByteArray &dati) const;

    // The text enciphered in InFile by EncryptFile; empty when the file is missing or no cipher text.
    QString DecryptFileStr(const QString &InFile) const;

private:
    std::unique_ptr<const Rijndael256> m_cifrario;
};
