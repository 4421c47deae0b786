#pragma once
// Reading the upload's reply: a JSON object in UTF-8 whose "error" says
// whether the server stored the file and whose "msg" says why not.
#include <optional>
#include <string>
#include <string_view>

namespace orvo {

// The text the alert view shows for the reply (GBK): "文件上传保存成功！" when
// "error" is "0" or the number 0, otherwise the text of "msg". Nothing when
// the reply is not a JSON object with the members it needs: the upload is
// then not confirmed.
std::optional<std::string> uploadReplyAlert(std::string_view utf8Reply);

}  // namespace orvo
