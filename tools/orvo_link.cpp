// orvo-link: makes request keys and enciphered "orvo:" links, for the web side
// and for tests.
//
//   orvo-link keygen --selector N [--format env]
//   orvo-link encipher --key FILE [--from-utf8] TEXT     prints the hex payload
//   orvo-link link --key FILE [--from-utf8] TEXT         prints orvo:sys=<payload>
//   orvo-link decipher --key FILE PAYLOAD|LINK           prints the plain request
//
// The request is GBK text. On Linux TEXT is taken byte for byte unless
// --from-utf8 asks for a conversion; on Windows the command line is Unicode
// and is always converted.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/payload_decoder.h"
#include "link_encoder.h"
#include "support/portable/app_error.h"
#include "support/portable/codepage.h"

namespace {

using orvo::AppError;

constexpr const char* kUsage =
    "usage: orvo-link keygen --selector N [--format env]\n"
    "       orvo-link encipher --key FILE [--from-utf8] TEXT\n"
    "       orvo-link link --key FILE [--from-utf8] TEXT\n"
    "       orvo-link decipher --key FILE PAYLOAD|LINK\n";

struct UsageError {
    std::string message;
};

struct Options {
    std::string command;
    std::string selector;
    std::string format = "env";
    std::string keyFile;
    bool fromUtf8 = false;
    std::vector<std::string> operands;
};

Options parseArguments(const std::vector<std::string>& args) {
    if (args.empty()) throw UsageError{"no command"};
    Options options;
    options.command = args[0];
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size()) throw UsageError{a + " needs a value"};
            return args[++i];
        };
        if (a == "--selector") options.selector = value();
        else if (a == "--format") options.format = value();
        else if (a == "--key") options.keyFile = value();
        else if (a == "--from-utf8") options.fromUtf8 = true;
        else if (a == "--") {
            options.operands.insert(options.operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (a.size() > 2 && a.rfind("--", 0) == 0) throw UsageError{"unknown option " + a};
        else options.operands.push_back(a);
    }
    return options;
}

orvo::link::KeyPair readKeyFile(const std::string& path) {
    if (path.empty()) throw UsageError{"--key FILE is required"};
    // Arguments are UTF-8 on both systems; on Windows a narrow file name
    // would go through the ANSI code page.
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in) throw AppError("cannot read key file " + path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return orvo::link::parseKeyEnv(text);
}

std::string requestText(const std::string& text, bool convert) {
    if (!convert) return text;
    const auto unicode = orvo::decodeUtf8(text);
    if (!unicode) throw AppError("TEXT is not valid UTF-8");
    return orvo::unicodeToGbk(*unicode);
}

std::string singleOperand(const Options& options, const char* what) {
    if (options.operands.size() != 1) throw UsageError{std::string("expected exactly one ") + what};
    return options.operands[0];
}

int run(const std::vector<std::string>& args, bool argumentsAreUnicode) {
    const Options options = parseArguments(args);
    if (options.command == "keygen") {
        if (options.selector.size() != 1 || options.selector[0] < '0' || options.selector[0] > '4')
            throw UsageError{"--selector must be 0 to 4"};
        if (options.format != "env") throw UsageError{"the only --format is env"};
        if (!options.operands.empty()) throw UsageError{"keygen takes no operands"};
        const auto key = orvo::link::generateKeyPair(static_cast<std::uint8_t>(options.selector[0] - '0'));
        std::cout << orvo::link::formatKeyEnv(key);
    } else if (options.command == "encipher" || options.command == "link") {
        const auto key = readKeyFile(options.keyFile);
        const std::string plain =
            requestText(singleOperand(options, "TEXT"), options.fromUtf8 || argumentsAreUnicode);
        std::cout << (options.command == "link" ? orvo::link::makeLink(plain, key)
                                                 : orvo::link::encipherPayload(plain, key))
                  << "\n";
    } else if (options.command == "decipher") {
        const auto key = readKeyFile(options.keyFile);
        if (key.exponentText.empty()) throw AppError("the key file holds no private exponent");
        std::string payload = singleOperand(options, "PAYLOAD or LINK");
        // A whole link is cut as the program cuts it: after "sys" and one
        // more character.
        if (const size_t marker = payload.find("sys"); marker != std::string::npos)
            payload = marker + 4 < payload.size() ? payload.substr(marker + 4) : std::string();
        const std::string plain = orvo::DecodeSysPayload(payload, key.modulusText, key.exponentText, key.selector);
        std::cout << plain << "\n";
    } else {
        throw UsageError{"unknown command " + options.command};
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}

int guardedRun(const std::vector<std::string>& args, bool argumentsAreUnicode) {
    try {
        return run(args, argumentsAreUnicode);
    } catch (const UsageError& e) {
        std::cerr << "orvo-link: " << e.message << "\n" << kUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "orvo-link: " << e.what() << "\n";
        return 1;
    }
}

#ifdef _WIN32
std::string utf8Of(const wchar_t* text) {
    std::string out;
    for (const wchar_t* p = text; *p; ++p) {
        char32_t c = static_cast<char16_t>(*p);
        if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(p[1]) - 0xDC00);
            ++p;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // a lone surrogate
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}
#endif

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(utf8Of(argv[i]));
    return guardedRun(args, true);
}
#else
int main(int argc, char** argv) { return guardedRun(std::vector<std::string>(argv + 1, argv + argc), false); }
#endif
