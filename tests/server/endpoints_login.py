"""The login endpoint: records what a USB-key login posts and checks its
digest against the server's own HMAC-MD5.

  POST /login[/...]   form fields "Digest" and "Token". The journal entry gets
                      "login": {"fields": [names in order], "digest", "token",
                      "expected": the HMAC-MD5 of the token under the secret
                      (32 upper-case hex digits), "digest_ok"}.
       options (query): secret=S   the key's secret (default DEFAULT_SECRET)
                        status=C   answer with status C (default 200)

The key signs the token as the program holds it, in code page 936, while the
form carries it in UTF-8; the check re-encodes it the same way.
"""

import hashlib
import hmac

DEFAULT_SECRET = "orvo-test-secret"


def expected_digest(secret, token):
    return hmac.new(secret.encode("gbk"), token.encode("gbk", "replace"), hashlib.md5).hexdigest().upper()


def register(app):
    def login(h, req):
        form = req.get("form") or []
        values = dict(form)
        secret = (req["params"].get("secret") or [DEFAULT_SECRET])[0]
        token = values.get("Token", "")
        expected = expected_digest(secret, token)
        req["entry"]["login"] = {
            "fields": [name for name, _ in form],
            "digest": values.get("Digest"),
            "token": values.get("Token"),
            "expected": expected,
            "digest_ok": values.get("Digest") == expected,
        }
        try:
            status = int((req["params"].get("status") or ["200"])[0])
        except ValueError:
            status = 200
        h.reply_json({"ok": status == 200}, status=status)

    app.route("POST", "/login")(login)
    app.route("POST", "/login/")(login)
