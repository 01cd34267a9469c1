"""The signing shortcuts, verified against the devices' certificates."""

from __future__ import annotations

import base64

import pytest
from cryptography import x509
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import ec, padding
from cryptography.hazmat.primitives.asymmetric.utils import encode_dss_signature

import tessera

DATA = b"The quick brown fox signs over the lazy dog.\n"


def _location(device):
    return {"devId": device, "applicationName": "pkisim", "containerName": "sign"}


def _public_key(agent, device):
    reply = agent.request(tessera.Service.DEV, "exportCertificate",
                          {"devID": device, "appName": "pkisim", "conName": "sign"})
    return x509.load_der_x509_certificate(base64.b64decode(reply.json()["cert"])).public_key()


def test_rsa_signature_verifies(agent):
    signature = agent.rsa_sign(_location("SIM-RSA-01"), DATA)
    _public_key(agent, "SIM-RSA-01").verify(signature, DATA, padding.PKCS1v15(), hashes.SHA256())


def test_ecc_signature_verifies(agent):
    import json

    signature = agent.ecc_sign(json.dumps(_location("SIM-ECC-01")), DATA)
    assert len(signature) == 128
    r, s = int.from_bytes(signature[:64], "big"), int.from_bytes(signature[64:], "big")
    _public_key(agent, "SIM-ECC-01").verify(encode_dss_signature(r, s), DATA, ec.ECDSA(hashes.SHA256()))


def test_signing_failures_raise(agent):
    with pytest.raises(tessera.Error):
        agent.rsa_sign(_location("SIM-NONE"), DATA)
    with pytest.raises(tessera.BadArgument):
        agent.ecc_sign(_location("SIM-ECC-01"), bytes(10_000))
