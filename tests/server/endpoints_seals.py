"""Seal endpoints: the seal list and the seal pictures, with failure modes.

  GET /seals/list[?names=a,b,...]  {"data": [{"fname": <absolute URL of /seals/img/<name>>}, ...]};
                                   names default to round,square,oval (the JPEGs beside this file);
                                   a name that is not one of them gives a URL that answers 404
  GET /seals/list?fail=status      500
  GET /seals/list?fail=notjson     200 with a text that is no JSON
  GET /seals/list?fail=nodata      200 with {"msg": "..."}: no "data" array
  GET /seals/list?fail=nofname     200 with an element without "fname"
  GET /seals/list?fail=notjpeg     the first seal's picture is a PNG
  GET /seals/list?once=<key>       the list the first time for that key, 500 every later time
  GET /seals/img/<name>            the picture seal_<name>.jpg; "png" is a PNG picture
"""

import base64
import os

HERE = os.path.dirname(os.path.abspath(__file__))
SEALS = os.path.join(HERE, "seals")
DEFAULT_NAMES = ["round", "square", "oval"]
# How often each "once" key has been answered.
ANSWERED = {}

# A 1 x 1 white PNG.
PNG = base64.b64decode(
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8/5+hHgAHggJ/PchI7wAAAABJRU5ErkJggg==")


def seal_bytes(name):
    path = os.path.join(SEALS, "seal_%s.jpg" % name)
    if name not in DEFAULT_NAMES or not os.path.isfile(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def param(req, name, default=None):
    values = req["params"].get(name)
    return values[0] if values else default


def register(app):
    @app.route("GET", "/seals/list")
    def seal_list(h, req):
        base = "%s://%s" % (h.scheme, h.headers.get("Host", "127.0.0.1"))
        fail = param(req, "fail", "")
        names = [n for n in param(req, "names", ",".join(DEFAULT_NAMES)).split(",") if n]
        once = param(req, "once")
        if once is not None:
            ANSWERED[once] = ANSWERED.get(once, 0) + 1
            if ANSWERED[once] > 1:
                fail = "status"
        if fail == "status":
            h.reply_json({"error": "500", "msg": "seal list failed"}, status=500)
        elif fail == "notjson":
            h.reply(200, "<html>not a seal list</html>", "text/html; charset=utf-8")
        elif fail == "nodata":
            h.reply_json({"msg": "no seals here"})
        elif fail == "nofname":
            h.reply_json({"data": [{"fname": base + "/seals/img/round"}, {"name": "no address"}]})
        else:
            if fail == "notjpeg":
                names = ["png"] + names
            h.reply_json({"data": [{"fname": base + "/seals/img/" + n, "id": i} for i, n in enumerate(names)]})

    @app.route("GET", "/seals/img/")
    def seal_picture(h, req):
        name = req["path"][len("/seals/img/"):]
        if name == "png":
            h.reply(200, PNG, "image/jpeg")
            return
        body = seal_bytes(name)
        if body is None:
            h.reply(404, "no such seal")
        else:
            h.reply(200, body, "image/jpeg")
