// The hash and the signatures through OpenSSL's libcrypto (version 3 EVP).
#include "util/crypto.h"

#include <algorithm>

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

namespace crypto {

namespace {

template <class T, void (*Free)(T*)>
struct Freer {
    void operator()(T* p) const { Free(p); }
};
template <class T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Freer<T, Free>>;

using MdCtx = Owned<EVP_MD_CTX, EVP_MD_CTX_free>;
using Pkey = Owned<EVP_PKEY, EVP_PKEY_free>;
using PkeyCtx = Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using ParamBld = Owned<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>;
using Params = Owned<OSSL_PARAM, OSSL_PARAM_free>;
using Bn = Owned<BIGNUM, BN_free>;
using EcdsaSig = Owned<ECDSA_SIG, ECDSA_SIG_free>;

void Check(bool ok, const char* what) {
    if (!ok) throw Error(std::string("libcrypto: ") + what + " failed");
}

// A P-256 key from its point, and its scalar when given; nullptr when the
// library refuses it (a point off the curve).
Pkey MakeKey(const PublicKey& point, const unsigned char* scalar) {
    unsigned char uncompressed[65];
    uncompressed[0] = 0x04;
    std::copy(point.begin(), point.end(), uncompressed + 1);
    ParamBld bld(OSSL_PARAM_BLD_new());
    Bn d(scalar ? BN_bin2bn(scalar, 32, nullptr) : nullptr);
    if (!bld || (scalar && !d)) return nullptr;
    if (!OSSL_PARAM_BLD_push_utf8_string(bld.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) ||
        !OSSL_PARAM_BLD_push_octet_string(bld.get(), OSSL_PKEY_PARAM_PUB_KEY, uncompressed, sizeof uncompressed) ||
        (d && !OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_PRIV_KEY, d.get())))
        return nullptr;
    Params params(OSSL_PARAM_BLD_to_param(bld.get()));
    PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    EVP_PKEY* key = nullptr;
    if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
        EVP_PKEY_fromdata(ctx.get(), &key, scalar ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
        return nullptr;
    return Pkey(key);
}

void FreeBytes(unsigned char* p) { OPENSSL_free(p); }

void BignumTo(const BIGNUM* n, unsigned char* out) { Check(n && BN_bn2binpad(n, out, 32) == 32, "BN_bn2binpad"); }

}  // namespace

struct Sha256::State {
    MdCtx ctx{EVP_MD_CTX_new()};
};

Sha256::Sha256() : m_state(std::make_unique<State>()) {
    Check(m_state->ctx && EVP_DigestInit_ex(m_state->ctx.get(), EVP_sha256(), nullptr) == 1, "SHA-256");
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, std::size_t size) {
    Check(EVP_DigestUpdate(m_state->ctx.get(), data, size) == 1, "SHA-256");
}

Digest Sha256::Final() {
    Digest d{};
    unsigned int n = 0;
    Check(EVP_DigestFinal_ex(m_state->ctx.get(), d.data(), &n) == 1 && n == d.size(), "SHA-256");
    return d;
}

bool Verify(const PublicKey& key, const Digest& digest, const Signature& signature) {
    Pkey pkey = MakeKey(key, nullptr);
    EcdsaSig sig(ECDSA_SIG_new());
    if (!pkey || !sig) return false;
    Bn r(BN_bin2bn(signature.data(), 32, nullptr)), s(BN_bin2bn(signature.data() + 32, 32, nullptr));
    if (!r || !s || ECDSA_SIG_set0(sig.get(), r.get(), s.get()) != 1) return false;
    r.release();
    s.release();
    unsigned char* der = nullptr;
    const int derSize = i2d_ECDSA_SIG(sig.get(), &der);
    if (derSize <= 0) return false;
    Owned<unsigned char, FreeBytes> derOwned(der);
    PkeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, pkey.get(), nullptr));
    return ctx && EVP_PKEY_verify_init(ctx.get()) == 1 && EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_sha256()) == 1 &&
           EVP_PKEY_verify(ctx.get(), der, static_cast<std::size_t>(derSize), digest.data(), digest.size()) == 1;
}

PrivateKey GenerateKey() {
    Pkey pkey(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    Check(pkey != nullptr, "making a P-256 key");
    BIGNUM *d = nullptr, *x = nullptr, *y = nullptr;
    EVP_PKEY_get_bn_param(pkey.get(), OSSL_PKEY_PARAM_PRIV_KEY, &d);
    EVP_PKEY_get_bn_param(pkey.get(), OSSL_PKEY_PARAM_EC_PUB_X, &x);
    EVP_PKEY_get_bn_param(pkey.get(), OSSL_PKEY_PARAM_EC_PUB_Y, &y);
    Owned<BIGNUM, BN_clear_free> dOwned(d);
    Bn xOwned(x), yOwned(y);
    PrivateKey key;
    BignumTo(d, key.scalar.data());
    BignumTo(x, key.point.data());
    BignumTo(y, key.point.data() + 32);
    return key;
}

Signature Sign(const PrivateKey& key, const Digest& digest) {
    Pkey pkey = MakeKey(key.point, key.scalar.data());
    Check(pkey != nullptr, "reading the private key");
    PkeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, pkey.get(), nullptr));
    std::size_t size = 0;
    Check(ctx && EVP_PKEY_sign_init(ctx.get()) == 1 && EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_sha256()) == 1 &&
              EVP_PKEY_sign(ctx.get(), nullptr, &size, digest.data(), digest.size()) == 1,
          "signing");
    std::string der(size, '\0');
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    Check(EVP_PKEY_sign(ctx.get(), out, &size, digest.data(), digest.size()) == 1, "signing");
    const unsigned char* in = out;
    EcdsaSig sig(d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(size)));
    Check(sig != nullptr, "reading the signature");
    const BIGNUM *r = nullptr, *s = nullptr;
    ECDSA_SIG_get0(sig.get(), &r, &s);
    Signature result;
    BignumTo(r, result.data());
    BignumTo(s, result.data() + 32);
    return result;
}

}  // namespace crypto
