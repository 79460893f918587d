/// \file
/// CString: an 8-bit text with the framework's interface.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "vorlan/framework/types.h"

class CArchive;

/// An 8-bit text with the framework's interface: a value with deep copies, holding any octets
/// (zero included); indices out of range are the caller's error.
class CString {
public:
    CString() = default;
    ///@{
    /// The text given; a null pointer gives the empty text.
    CString(const char* text) : m_text(text ? text : "") {}  // NOLINT: implicit as in the framework
    CString(const char* text, int length);
    ///@}
    /// `repeat` copies of `ch`.
    CString(char ch, int repeat = 1);
    /// A copy of the characters of `text`.
    CString(std::string_view text) : m_text(text) {}  // NOLINT

    /// The number of characters.
    int GetLength() const { return static_cast<int>(m_text.size()); }
    /// TRUE when the text has no characters.
    BOOL IsEmpty() const { return m_text.empty(); }
    /// Makes the text empty.
    void Empty() { m_text.clear(); }

    ///@{
    /// The character at `index`.
    char GetAt(int index) const { return m_text[static_cast<size_t>(index)]; }
    char operator[](int index) const { return GetAt(index); }
    ///@}
    /// Replaces the character at `index`.
    void SetAt(int index, char ch) { m_text[static_cast<size_t>(index)] = ch; }
    /// The text, zero-terminated; valid until the text changes.
    operator const char*() const { return m_text.c_str(); }  // NOLINT
    /// The text as a standard string.
    const std::string& str() const { return m_text; }

    ///@{
    /// Replaces the text, or appends to it (+=).
    CString& operator=(const char* text);
    CString& operator=(char ch);
    CString& operator+=(const CString& text);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);
    ///@}

    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, const char* b);
    friend CString operator+(const char* a, const CString& b);
    friend CString operator+(const CString& a, char b);
    friend CString operator+(char a, const CString& b);

    ///@{
    /// Compares octet by octet (CompareNoCase: ASCII letters case-insensitively): negative, 0 or
    /// positive; a null `text` counts as empty.
    int Compare(const char* text) const;
    int CompareNoCase(const char* text) const;
    ///@}

    ///@{
    /// The characters from `first` (on, or `count` of them), the first or the last `count` ones;
    /// ranges are clamped to the text.
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;
    ///@}

    ///@{
    /// The index of the first occurrence from `start` (ReverseFind: of the last), -1 for none.
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;
    ///@}

    ///@{
    /// Changes ASCII letters to upper or lower case.
    void MakeUpper();
    void MakeLower();
    ///@}
    ///@{
    /// Removes white space from the front or the back.
    void TrimLeft();
    void TrimRight();
    ///@}

    ///@{
    /// Replaces the text by the printf formatting of the arguments.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* format, va_list args);
    ///@}

    /// Raw access: the buffer holds at least minLength characters (plus the
    /// terminating zero); ReleaseBuffer(-1) takes the length from the zero.
    char* GetBuffer(int minLength);
    /// Raw access to exactly `length` characters (plus the terminating zero).
    char* GetBufferSetLength(int length);
    /// Ends raw access: the text is `newLength` characters long, or up to the first zero for -1.
    void ReleaseBuffer(int newLength = -1);

private:
    std::string m_text;
};

///@{
/// Comparisons octet by octet, as Compare.
bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
bool operator==(const char* a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, const char* b);
bool operator!=(const char* a, const CString& b);
bool operator<(const CString& a, const CString& b);
bool operator>(const CString& a, const CString& b);
bool operator<=(const CString& a, const CString& b);
bool operator>=(const CString& a, const CString& b);
///@}

/// Archive form: length as 8 bits, or 0xFF then 16 bits, or 0xFF 0xFFFF then 32 bits; then the characters.
CArchive& operator<<(CArchive& ar, const CString& text);
/// Loads a text stored as operator<< writes it; the archive exception for a text cut short.
CArchive& operator>>(CArchive& ar, CString& text);
