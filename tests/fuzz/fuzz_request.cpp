// libFuzzer target over request intake: the list split and path helpers,
// percent and UTF-8 decoding, the parameter cutting, the "sys" replacement and
// the payload decoder with every key size, and the container stream reader.
//
// Input: the first byte picks the key size (its value mod 5), the rest is the
// request text. The keys are fixed so that the seed corpus can hold payloads
// that really decode; they protect nothing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/payload_decoder.h"
#include "core/request_intake.h"
#include "core/request_params.h"
#include "link_encoder.h"
#include "support/portable/app_error.h"
#include "support/portable/codepage.h"
#include "support/portable/container_stream.h"
#include "support/portable/delimited_list.h"
#include "support/portable/percent.h"

namespace {

struct FuzzKey {
    std::uint8_t selector;
    const char* modulus;
    const char* exponent;
};

const FuzzKey kKeys[5] = {
    {0,
     "DDB38BB6D828CC989E341B7B1DA921A2",
     "9DF5677DBE3C0294731D01A5D2D2EE6C"},
    {1,
     "55DF74F9207BF95EED5D3EB7D6045E1CF9CCCF625C2EF2A98FA5968423090498",
     "79C93BD7FEB4231AD3FEC8BDF7621C7BF355EBAD258B12B224027321A6086B30"},
    {2,
     "1573E6E879F1F20DF34D97EDBC38CB8FA77816420E1EDADC19C67A63CEF670517E1D4FD122AA665B2D023A16B0273011"
         "AB24D0439D4789BC28714F85E606CA98",
     "558A4F06EA643694F146EDC86CBCF8AA04EB80633AE951F7308C66D673034845288AC0B524989F39144AACBCD5428160"
         "FBA7808D76E23EBA3AF80F3A6585A70B"},
    {3,
     "89FCCF4434B0923031E5C476EC12017750BA82C39807E0655A96B401EFE0A75C1DBBCA30A8958F51DCD5566684C5AC1B"
         "9C92CB0D5B7FC61CBF9339F72165A99F221BD82910EDFB22F9A1878064A80DF7B6F7F9805539DD93AD633B41E0E7FBBD",
     "F9B41F47FD023D19536D20C7B7E0BA56BAF208BB7D0EC755D0DF03A110E3C01AE64BEAD49227EEEB862A374B848ABE84"
         "A9594A80BCC7CDB7D8E4E8A3269476494B02EBB0278718F1F5BF02F67BB75A59ED279D18498FAEBD64C926C7BF9313A2"},
    {4,
     "357F87051DEB95D1E2830592B1DE7E58E377EC56292D7005EC1550DA693C629DF2BE2635AC9BEC0DB008FC97B5FF4835"
         "DBB4ED56B0FAE1E2D51B81151AB130927785EB868330373F27E487F22B75B92351E2ECCA4EF5EB8ED36045D43BF2EDE2"
         "4DFEE10AE14E00A1D9EBD87D3A29C2E63F26B0E18AA884055C5A6779F55B8DA2",
     "D9EFB601F27BFC6791C57AF25B5F7C279DA6FCC16728CA1EBD58F6A1E7A56E35F4A863821398990B5C7EFE261159B385"
         "8AC0EA75C1E67C792D6599D96542C87A45B583DA11831BBC0FC7624F2F21198BAF4299AF8C66BBC11510FF9C66B28904"
         "FD01869C7F377E805EADBB76A73CDEEEB6D790BB07A18DACD564E5566DD4580C"},
};

// A broken invariant is a finding: say which, and stop the way a sanitizer would.
void checkAt(bool condition, const char* what, int line) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_request.cpp:%d: broken invariant: %s\n", line, what);
    std::abort();
}
#define check(condition) checkAt((condition), #condition, __LINE__)

void parseParameters(std::string_view request) {
    orvo::RequestFields fields;
    try {
        const bool found = orvo::ParseRequestParameters(request, fields);
        check(found || fields.FFileUrl.empty());
    } catch (const orvo::AppError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const FuzzKey& key = kKeys[data[0] % 5];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    for (char delimiter : {'&', '/'}) {
        for (const std::string& item : orvo::splitDelimited(text, delimiter)) check(item.size() <= text.size());
    }
    check(orvo::LastPathItem(text).size() <= text.size());
    const std::string extension = orvo::fileExtension(text);
    check(extension.empty() || (extension[0] == '.' && text.size() >= extension.size() &&
                                text.compare(text.size() - extension.size(), extension.size(), extension) == 0));
    const std::string decoded = orvo::percentDecode(text);
    // Escapes never produce a NUL; only one already in the text passes through.
    check(decoded.size() <= text.size() &&
          std::count(decoded.begin(), decoded.end(), '\0') <= std::count(text.begin(), text.end(), '\0'));
    const std::string gbk = orvo::utf8StepToGbk(decoded);
    if (orvo::decodeUtf8(decoded)) check(gbk.size() <= decoded.size());
    parseParameters(text);

    try {
        const std::string request = orvo::decodeRequestString(text, kKeys[0].modulus, kKeys[0].exponent);
        check(orvo::modeOfRequest(request).size() <= 5);
        parseParameters(request);
    } catch (const orvo::AppError&) {
    }

    try {
        const std::string plain = orvo::DecodeSysPayload(text, key.modulus, key.exponent, key.selector);
        // Whatever decodes must survive a round trip through the encoder.
        orvo::link::KeyPair pair;
        pair.selector = key.selector;
        pair.modulusText = key.modulus;
        pair.exponentText = key.exponent;
        pair.publicExponentText = "010001";
        check(orvo::DecodeSysPayload(orvo::link::encipherPayload(plain, pair), key.modulus, key.exponent,
                                     key.selector) == plain);
    } catch (const orvo::AppError&) {
    }

    try {
        const orvo::ContainerStreamContents contents = orvo::readContainerStream(text);
        check(contents.data.size() + orvo::kContainerStreamHeaderSize <= text.size());
    } catch (const orvo::AppError&) {
    }
    return 0;
}
