// 16-bit string operations of the CE library: wcscpy, wcslen, wcscmp on WCHAR and wsprintfW.
// Null pointers are treated as failures or empty strings instead of crashing.
#include <cstdarg>
#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace {

// wsprintfW never writes more than this many characters, the terminating 0 included.
constexpr int kFormatLimit = 1024;

class BoundedWriter {
 public:
  explicit BoundedWriter(LPWSTR buffer) : buffer_(buffer) {}
  void Put(WCHAR c) {
    if (count_ < kFormatLimit - 1) buffer_[count_++] = c;
  }
  void Repeat(WCHAR c, int times) {
    for (int i = 0; i < times; ++i) Put(c);
  }
  int Finish() {
    buffer_[count_] = 0;
    return count_;
  }

 private:
  LPWSTR buffer_;
  int count_ = 0;
};

struct Conversion {
  bool left = false;
  bool zero = false;
  bool alternate = false;
  int width = 0;
  int precision = -1;
  bool wide64 = false;  // I64
  bool narrow = false;  // h: a narrow string or character
};

void PutPadded(BoundedWriter& out, const Conversion& conversion, const std::u16string& body,
               const std::u16string& prefix = u"") {
  int length = static_cast<int>(body.size() + prefix.size());
  int padding = conversion.width > length ? conversion.width - length : 0;
  if (!conversion.left && !conversion.zero) out.Repeat(u' ', padding);
  for (WCHAR c : prefix) out.Put(c);
  if (!conversion.left && conversion.zero) out.Repeat(u'0', padding);
  for (WCHAR c : body) out.Put(c);
  if (conversion.left) out.Repeat(u' ', padding);
}

std::u16string Digits(std::uint64_t value, unsigned base, bool upper, int precision) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::u16string text;
  do {
    text.insert(text.begin(), static_cast<WCHAR>(digits[value % base]));
    value /= base;
  } while (value != 0);
  if (precision == 0 && text == u"0") text.clear();
  while (static_cast<int>(text.size()) < precision) text.insert(text.begin(), u'0');
  return text;
}

int ParseNumber(LPCWSTR* p) {
  int value = 0;
  while (**p >= u'0' && **p <= u'9') {
    if (value < kFormatLimit) value = value * 10 + (**p - u'0');
    ++*p;
  }
  return value;
}

}  // namespace

LPWSTR wcscpy(LPWSTR dest, LPCWSTR source) {
  if (dest == nullptr || source == nullptr) return dest;
  LPWSTR out = dest;
  while ((*out++ = *source++) != 0) {
  }
  return dest;
}

std::size_t wcslen(LPCWSTR text) {
  if (text == nullptr) return 0;
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

// A null string sorts before every other, as if it were shorter than "".
int wcscmp(LPCWSTR a, LPCWSTR b) {
  if (a == nullptr || b == nullptr) return (a == nullptr ? 0 : 1) - (b == nullptr ? 0 : 1);
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return (*a > *b) - (*a < *b);
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
  if (buffer == nullptr) return 0;
  BoundedWriter out(buffer);
  if (format == nullptr) return out.Finish();
  va_list args;
  va_start(args, format);
  for (LPCWSTR p = format; *p != 0; ++p) {
    if (*p != u'%') {
      out.Put(*p);
      continue;
    }
    ++p;
    Conversion conversion;
    for (;; ++p) {
      if (*p == u'-') {
        conversion.left = true;
      } else if (*p == u'0') {
        conversion.zero = true;
      } else if (*p == u'#') {
        conversion.alternate = true;
      } else {
        break;
      }
    }
    conversion.width = ParseNumber(&p);
    if (*p == u'.') {
      ++p;
      conversion.precision = ParseNumber(&p);
    }
    if (*p == u'l') {
      ++p;
    } else if (*p == u'h') {
      conversion.narrow = true;
      ++p;
    } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
      conversion.wide64 = true;
      p += 3;
    }
    if (conversion.left) conversion.zero = false;
    switch (*p) {
      case u'd':
      case u'i': {
        std::int64_t value = conversion.wide64 ? va_arg(args, std::int64_t) : va_arg(args, int);
        std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : value;
        PutPadded(out, conversion, Digits(magnitude, 10, false, conversion.precision),
                  value < 0 ? u"-" : u"");
        break;
      }
      case u'u':
      case u'x':
      case u'X': {
        std::uint64_t value =
            conversion.wide64 ? va_arg(args, std::uint64_t) : va_arg(args, unsigned int);
        unsigned base = *p == u'u' ? 10 : 16;
        std::u16string prefix;
        if (conversion.alternate && base == 16 && value != 0) prefix = *p == u'x' ? u"0x" : u"0X";
        PutPadded(out, conversion, Digits(value, base, *p == u'X', conversion.precision), prefix);
        break;
      }
      case u'c':
      case u'C': {
        int value = va_arg(args, int);
        bool narrow = conversion.narrow || *p == u'C';
        PutPadded(out, conversion,
                  std::u16string(1, narrow ? static_cast<WCHAR>(static_cast<unsigned char>(value))
                                           : static_cast<WCHAR>(value)));
        break;
      }
      case u's':
      case u'S': {
        std::u16string text;
        if (conversion.narrow || *p == u'S') {
          const char* narrow = va_arg(args, const char*);
          for (const char* c = narrow != nullptr ? narrow : "(null)"; *c != 0; ++c) {
            text.push_back(static_cast<WCHAR>(static_cast<unsigned char>(*c)));
          }
        } else {
          LPCWSTR wide = va_arg(args, LPCWSTR);
          text = wide != nullptr ? wide : u"(null)";
        }
        if (conversion.precision >= 0 && static_cast<int>(text.size()) > conversion.precision) {
          text.resize(conversion.precision);
        }
        conversion.zero = false;
        PutPadded(out, conversion, text);
        break;
      }
      case 0:
        // A lone % at the end of the format.
        --p;
        break;
      default:
        out.Put(*p);
        break;
    }
  }
  va_end(args);
  return out.Finish();
}
