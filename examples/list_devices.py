#!/usr/bin/python3
"""Logs in to the PKI service, lists its devices and logs out.

    list_devices.py [APP_NAME APP_ID TOKEN]

Without arguments it logs in as the development service's demo application.
"""

import sys

import tessera


def main(argv: list) -> int:
    login = argv[1:4] if len(argv) == 4 else ["demo", "demo-app-id", "demo-token"]
    try:
        with tessera.Agent() as agent:
            agent.login(*login)
            reply = agent.request(tessera.Service.DEV, "getDevices")
            agent.logout()
    except tessera.Error as failure:
        print(f"list_devices.py: {type(failure).__name__}: {failure.text}", file=sys.stderr)
        return 1
    if reply.err_code != tessera.Result.OK:
        print(f"list_devices.py: the service answered errCode {reply.err_code}: {reply.text}", file=sys.stderr)
        return 1
    for device in reply.json()["devices"]:
        print(f"{device['devID']}\t{device['keyType']}\t{device['label']}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
