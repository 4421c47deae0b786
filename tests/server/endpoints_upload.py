"""The upload endpoint: records what a document upload brings and answers as
the chosen reply mode says.

  POST /upload[/<mode>[/<ms>]]?fileguid=<guid>&filemd5=<digest>

The query is read raw, as the client joins it: the guid runs from
"fileguid=" to the last "&filemd5=", so "&" and "?" inside it stay. The
request's journal entry gets an "upload" record:

  mode, query, fileguid (raw), fileguid_text (percent-decoded UTF-8),
  filemd5 (as sent), version (the request line's), file_parts (how many
  parts are named "uploaded_file"), and for the first of them: filename,
  content_type, transfer_encoding, received_size, received_md5 (upper case),
  md5_matches (filemd5 equals received_md5).

Modes: ok0 (default; "error": 0), ok0text ("error": "0"), error ("error": "1"
with a Chinese "msg"), nomsg ("error": "2" without "msg"), 500 (status 500
with a JSON body), 302 (a redirect), garbage (200 with an HTML page), slow
(waits <ms> milliseconds, 3000 by default, then answers as ok0), longmsg
("error": "1" with a "msg" of four lines, the last a long path), slowbody
(the server takes the body slowly, see server.py, then answers as ok0).
"""

import time
import urllib.parse

REFUSED_MSG = "文件已被锁定，保存失败"
LONG_MSG = ("文件未能保存：服务器上的同名文件正在被其他用户编辑。\n"
            "请稍后重新上传，或联系系统管理员解除锁定。\n"
            "锁定者：办公室 张三（内线 8021）\n"
            "服务器路径：D:\\报表系统\\归档\\2026年\\十二月\\投标文件\\第三季度汇总\\最终版本\\盖章稿.doc")


def upload_record(req, mode):
    query = req["query"]
    guid, digest = None, None
    if query.startswith("fileguid="):
        at = query.rfind("&filemd5=")
        if at >= 0:
            guid = query[len("fileguid="):at]
            digest = query[at + len("&filemd5="):]
    record = {
        "mode": mode,
        "query": query,
        "fileguid": guid,
        "fileguid_text": urllib.parse.unquote(guid, errors="replace") if guid is not None else None,
        "filemd5": digest,
        "version": req["version"],
        "file_parts": 0,
    }
    parts = [p for p in (req.get("multipart") or {}).get("parts", []) if p.get("name") == "uploaded_file"]
    record["file_parts"] = len(parts)
    if parts:
        part = parts[0]
        record.update({
            "filename": part.get("filename"),
            "content_type": part.get("content_type"),
            "transfer_encoding": part.get("transfer_encoding"),
            "received_size": part.get("size"),
            "received_md5": part.get("md5", "").upper(),
        })
        record["md5_matches"] = digest is not None and digest == record["received_md5"]
    return record


def register(app):
    def upload(h, req):
        pieces = [p for p in req["path"][len("/upload"):].split("/") if p]
        mode = pieces[0] if pieces else "ok0"
        req["entry"]["upload"] = upload_record(req, mode)
        if mode == "slowbody":
            mode = "ok0"
        if mode == "slow":
            delay = int(pieces[1]) if len(pieces) > 1 and pieces[1].isdigit() else 3000
            time.sleep(delay / 1000.0)
            mode = "ok0"
        if mode == "ok0":
            h.reply_json({"error": 0, "msg": ""})
        elif mode == "ok0text":
            h.reply_json({"error": "0", "msg": ""})
        elif mode == "error":
            h.reply_json({"error": "1", "msg": REFUSED_MSG})
        elif mode == "longmsg":
            h.reply_json({"error": "1", "msg": LONG_MSG})
        elif mode == "nomsg":
            h.reply_json({"error": "2"})
        elif mode == "500":
            h.reply_json({"error": "1", "msg": "server error"}, status=500)
        elif mode == "302":
            h.reply(302, b"moved\n", headers=[("Location", "/upload/ok0")])
        elif mode == "garbage":
            h.reply(200, "<html><body>Internal error</body></html>", "text/html; charset=utf-8")
        else:
            h.reply(400, "unknown upload mode\n")

    app.route("POST", "/upload")(upload)
    app.route("POST", "/upload/")(upload)
