#!/usr/bin/python3
"""print_through_service.py PORT TOKEN LOGICAL_NAME TEXT

A client of the installed device service, as a web till's back end would be: fetches the
page and the JavaScript client the service carries inside its program, opens the printer
over JSON-RPC, claims and enables it, prints TEXT synchronously, reads back the state and a
status property, and releases. Exits 0 when every call succeeded."""
import asyncio
import itertools
import json
import sys
import urllib.request

import websockets


def fetch(port: str, path: str) -> str:
    with urllib.request.urlopen(f"http://127.0.0.1:{port}{path}", timeout=30) as answer:
        body = answer.read().decode()
        print(f"GET {path} -> {answer.status}, {len(body)} characters")
        return body


async def main(port: str, token: str, name: str, text: str) -> int:
    if "<html" not in fetch(port, "/").lower() or "WebSocket" not in fetch(port, "/opos.js"):
        raise RuntimeError("the service's page or its JavaScript client is missing")
    ids = itertools.count(1)
    async with websockets.connect(f"ws://127.0.0.1:{port}/ws?token={token}") as socket:

        async def rpc(rpc_method, **params):
            request_id = next(ids)
            await socket.send(json.dumps(
                {"jsonrpc": "2.0", "id": request_id, "method": rpc_method, "params": params}))
            while True:  # events may come first
                message = json.loads(await asyncio.wait_for(socket.recv(), 30))
                if message.get("id") == request_id:
                    if "error" in message:
                        raise RuntimeError(f"{rpc_method}: {message['error']}")
                    print(f"{rpc_method} {params} -> {message['result']}")
                    return message["result"]

        names = [entry["name"] for entry in await rpc("list")]
        if name not in names:
            raise RuntimeError(f"{name} is not among the entries {names}")
        handle = (await rpc("open", name=name))["handle"]
        if (await rpc("call", handle=handle, method="ClaimDevice", args=[3000]))["result"] != 0:
            return 1
        await rpc("set", handle=handle, property="DeviceEnabled", value=True)
        printed = await rpc("call", handle=handle, method="PrintNormal", args=[2, text])
        state = await rpc("get", handle=handle, property="State")
        empty = await rpc("get", handle=handle, property="RecEmpty")
        await rpc("call", handle=handle, method="ReleaseDevice", args=[])
        await rpc("close", handle=handle)
        return 0 if printed["result"] == 0 and state == 2 and empty is False else 1


if __name__ == "__main__":
    sys.exit(asyncio.run(main(*sys.argv[1:5])))
