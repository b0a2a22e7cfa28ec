"""Signs in at the back end and writes the client's settings file as a signed-in client leaves
it, so that the client starts signed in (it restores a stored login at start-up).

Usage: stored_login.py BASE_URL SETTINGS_FOLDER EMAIL PASSWORD"""

import json
import os
import sys
import urllib.request

DEVICE_ID = "windows_benchmark"


def ini_text(value):
    # As the client's settings store writes a text that holds quotes or commas.
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


def main():
    base_url, folder, email, password = sys.argv[1:5]
    body = json.dumps({"device_id": DEVICE_ID, "device_name": "benchmark", "device_type": "windows",
                       "email": email, "password": password}, separators=(",", ":")).encode()
    request = urllib.request.Request(base_url + "auth/login", data=body,
                                     headers={"Content-Type": "application/json", "Accept": "application/json"})
    with urllib.request.urlopen(request, timeout=10) as answer:
        reply = json.load(answer)
    if not reply.get("success") or not reply.get("token"):
        raise SystemExit(f"stored_login: sign-in refused: {reply}")
    os.makedirs(folder, mode=0o700, exist_ok=True)
    user = json.dumps(reply["data"], ensure_ascii=False, separators=(",", ":"))
    path = os.path.join(folder, "norvane_settings.ini")
    with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), "w", encoding="utf-8") as settings:
        settings.write("[General]\n")
        settings.write(f"auth_token={reply['token']}\n")
        settings.write(f"device_id={DEVICE_ID}\n")
        settings.write(f"user_info={ini_text(user)}\n")


if __name__ == "__main__":
    main()
