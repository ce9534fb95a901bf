#include "sdk/dll/MsDecoration.h"

#include <cstddef>

namespace dll {

namespace {

// Parameters that take more than one character are remembered, in order, up to ten; a digit
// in a parameter list names one of them again.
constexpr std::size_t kMaxRemembered = 10;

class SignatureReader {
  public:
    explicit SignatureReader(const std::string& text) : text_(text) {}

    // The part after "@@" of a free function: class 'Y', calling convention, return type,
    // parameters, throw list.
    bool ReadFreeFunction(std::vector<std::string>* classes) {
        if (!Take('Y') || !TakeCallingConvention())
            return false;
        return ReadFunctionType(classes) && pos_ == text_.size();
    }

  private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    bool Take(char c) {
        if (Peek() != c)
            return false;
        ++pos_;
        return true;
    }

    // Every convention but __vectorcall passes arguments the same way on x64.
    bool TakeCallingConvention() {
        const char c = Peek();
        if (c != 'A' && c != 'C' && c != 'E' && c != 'G' && c != 'I')
            return false;
        ++pos_;
        return true;
    }

    // Return type, parameter list and throw list.
    bool ReadFunctionType(std::vector<std::string>* classes) {
        if (Take('?') && !TakeQualifier())
            return false;
        std::string result;
        if (!ReadType(&result))
            return false;
        if (classes != nullptr)
            classes->push_back(result);
        if (!ReadParameters(classes))
            return false;
        if (Take('Z'))
            return true;
        return Take('_') && Take('E');
    }

    bool ReadParameters(std::vector<std::string>* classes) {
        if (Take('X'))
            return true;  // (void)
        for (;;) {
            if (Take('@'))
                return true;
            if (Peek() == 'Z')
                return false;  // a variable argument list
            std::string type;
            const std::size_t start = pos_;
            if (Peek() >= '0' && Peek() <= '9') {
                const std::size_t index = static_cast<std::size_t>(text_[pos_++] - '0');
                if (index >= remembered_.size())
                    return false;
                type = remembered_[index];
            } else {
                if (!ReadType(&type))
                    return false;
                if (pos_ - start > 1 && remembered_.size() < kMaxRemembered)
                    remembered_.push_back(type);
            }
            if (classes != nullptr)
                classes->push_back(type);
        }
    }

    // const / volatile of what a pointer or reference leads to.
    bool TakeQualifier() {
        const char c = Peek();
        if (c < 'A' || c > 'D')
            return false;
        ++pos_;
        return true;
    }

    bool ReadType(std::string* type) {
        if (AtEnd())
            return false;
        const char c = text_[pos_++];
        switch (c) {
            case 'X':
                *type = "v";
                return true;
            case 'C':
            case 'D':
            case 'E':
                *type = "i1";
                return true;
            case 'F':
            case 'G':
                *type = "i2";
                return true;
            case 'H':
            case 'I':
            case 'J':
            case 'K':
                *type = "i4";
                return true;
            case 'M':
                *type = "f4";
                return true;
            case 'N':
            case 'O':
                *type = "f8";
                return true;
            case '_':
                return ReadExtendedType(type);
            case 'W':
                // Enumerations: '4' is int, the only underlying type Microsoft's compiler writes.
                *type = "i4";
                return Take('4') && SkipName();
            case 'T':
            case 'U':
            case 'V': {
                const std::size_t start = pos_ - 1;
                if (!SkipName())
                    return false;
                *type = "U" + text_.substr(start, pos_ - start);
                return true;
            }
            case 'P':
            case 'Q':
            case 'R':
            case 'S':
                *type = "p";
                return ReadPointee();
            case 'A':
            case 'B':
                *type = "p";
                return SkipPointerModifiers() && TakeQualifier() && ReadPointedType();
            case '$':
                *type = "p";
                if (!Take('$'))
                    return false;
                if (Take('T'))
                    return true;  // std::nullptr_t
                return Take('Q') && SkipPointerModifiers() && TakeQualifier() && ReadPointedType();
            default:
                return false;
        }
    }

    bool ReadExtendedType(std::string* type) {
        switch (AtEnd() ? '\0' : text_[pos_++]) {
            case 'N':
                *type = "b";
                return true;
            case 'Q':
                *type = "i1";
                return true;
            case 'S':
            case 'W':
                *type = "i2";
                return true;
            case 'U':
                *type = "i4";
                return true;
            case 'J':
            case 'K':
                *type = "i8";
                return true;
            default:
                return false;
        }
    }

    // After 'P', 'Q', 'R' or 'S': a function pointer ('6') or modifiers, qualifier and type.
    bool ReadPointee() {
        if (Take('6'))
            return TakeCallingConvention() && ReadFunctionType(nullptr);
        return SkipPointerModifiers() && TakeQualifier() && ReadPointedType();
    }

    // __ptr64, __restrict, __unaligned.
    bool SkipPointerModifiers() {
        while (Peek() == 'E' || Peek() == 'I' || Peek() == 'F')
            ++pos_;
        return true;
    }

    // What a pointer or reference leads to: any type, or an array.
    bool ReadPointedType() {
        std::string ignored;
        if (!Take('Y'))
            return ReadType(&ignored);
        std::size_t dimensions = 0;
        if (!ReadNumber(&dimensions))
            return false;
        for (std::size_t i = 0; i < dimensions; ++i) {
            std::size_t extent = 0;
            if (!ReadNumber(&extent))
                return false;
        }
        return ReadType(&ignored);
    }

    // '0' to '9' are 1 to 10; larger numbers are hexadecimal digits 'A' to 'P' ending in '@'.
    bool ReadNumber(std::size_t* value) {
        if (Peek() >= '0' && Peek() <= '9') {
            *value = static_cast<std::size_t>(text_[pos_++] - '0') + 1;
            return true;
        }
        std::size_t n = 0;
        std::size_t digits = 0;
        while (Peek() >= 'A' && Peek() <= 'P' && digits < 16) {
            n = n * 16 + static_cast<std::size_t>(text_[pos_++] - 'A');
            ++digits;
        }
        *value = n;
        return digits > 0 && Take('@');
    }

    // A qualified name inside a type: fragments ending in '@', or single-digit references to
    // fragments seen before, then one more '@'. Templates and special names are not read.
    bool SkipName() {
        bool first = true;
        for (;;) {
            if (AtEnd())
                return false;
            const char c = text_[pos_];
            if (c == '@')
                return !first && Take('@');
            if (c == '?')
                return false;
            if (c >= '0' && c <= '9') {
                ++pos_;
            } else {
                const std::size_t end = text_.find('@', pos_);
                if (end == std::string::npos)
                    return false;
                pos_ = end + 1;
            }
            first = false;
        }
    }

    const std::string& text_;
    std::size_t pos_ = 0;
    std::vector<std::string> remembered_;
};

}  // namespace

std::string QualifiedName(const std::string& decoration) {
    const std::size_t end = decoration.find("@@");
    if (decoration.empty() || decoration[0] != '?' || end == std::string::npos)
        return std::string();
    return decoration.substr(0, end);
}

std::string ReadableName(const std::string& decoration) {
    const std::string qualified = QualifiedName(decoration);
    if (qualified.size() < 2 || qualified[1] == '?' || qualified[1] == '$')
        return decoration;
    std::string readable;
    std::size_t end = qualified.size();
    for (;;) {
        const std::size_t at = qualified.rfind('@', end - 1);
        const std::size_t start = at == std::string::npos ? 1 : at + 1;
        if (!readable.empty())
            readable += "::";
        readable += qualified.substr(start, end - start);
        if (at == std::string::npos)
            return readable;
        end = at;
    }
}

bool ReadPassingClasses(const std::string& decoration, std::vector<std::string>* classes) {
    classes->clear();
    const std::string qualified = QualifiedName(decoration);
    if (qualified.empty() || qualified.find('?', 1) != std::string::npos)
        return false;
    const std::string signature = decoration.substr(qualified.size() + 2);
    SignatureReader reader(signature);
    if (reader.ReadFreeFunction(classes))
        return true;
    classes->clear();
    return false;
}

}  // namespace dll
