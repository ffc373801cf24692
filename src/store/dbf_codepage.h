#pragma once
// The code page of a table file's texts: which one a file uses (language-driver byte or
// the .cpg file beside it) and the conversion between its bytes and UTF-8.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

namespace store {

class CodePage {
public:
    // The code page named by an ICU/Qt codec name ("windows-1251", "IBM866", "UTF-8").
    // Returns false when the name is unknown to the codec library.
    bool load(const QString& codecName);

    const QString& name() const { return name_; }

    // Appends the UTF-8 form of the given file bytes to out.
    void decode(const char* bytes, size_t len, std::string& out) const;

    // Converts UTF-8 text into file bytes. Returns false when a character has no byte in
    // this code page; badChar then names the first such character.
    bool encode(const char* utf8, size_t len, std::string& out, QString* badChar) const;

private:
    // For single-byte pages: the UTF-8 form of each byte, and the way back. Built once
    // per page and shared by every file in it.
    struct Tables {
        bool singleByte = true;
        std::array<std::string, 256> toUtf8;
        std::array<uint8_t, 256> utf8Length{};  // the same, flat, for the decoding loop
        std::array<std::array<char, 4>, 256> utf8Bytes{};
        std::unordered_map<char32_t, uint8_t> fromUnicode;
    };
    static std::shared_ptr<const Tables> tablesFor(const QByteArray& codec);

    QString name_;
    QByteArray latinName_;
    std::shared_ptr<const Tables> tables_;
};

// The codec name for a language-driver byte, or an empty text for 0 and unknown bytes.
QString codecForLanguageDriver(uint8_t id);

// The codec name for the contents of a .cpg file ("CP1251", "1251", "UTF-8", "ANSI 1251",
// "88595"), or an empty text when it names nothing we know.
QString codecForCpg(const QByteArray& contents);

// The code page of files that say nothing about theirs: the desk's files come from
// Russian Windows machines, where such files were read in the ANSI page cp1251.
inline constexpr const char* kDefaultCodec = "windows-1251";

// The language-driver byte new files carry: cp1251.
inline constexpr uint8_t kDefaultLanguageDriver = 0xC9;

}  // namespace store
