// The hash and the signatures through CNG. bcrypt.dll is no DLL that
// Windows always takes from the system folder: imported, it would be looked
// for beside the program first. Its functions are taken from the system
// folder's copy, once, at the first use, with the two algorithms they need.
#include "util/crypto.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "platform/system_library.h"

namespace crypto {

namespace {

struct Cng {
    platform::SystemLibrary dll{"bcrypt.dll"};
    decltype(&BCryptOpenAlgorithmProvider) openAlgorithm =
        dll.Find<decltype(&BCryptOpenAlgorithmProvider)>("BCryptOpenAlgorithmProvider");
    decltype(&BCryptCreateHash) createHash = dll.Find<decltype(&BCryptCreateHash)>("BCryptCreateHash");
    decltype(&BCryptHashData) hashData = dll.Find<decltype(&BCryptHashData)>("BCryptHashData");
    decltype(&BCryptFinishHash) finishHash = dll.Find<decltype(&BCryptFinishHash)>("BCryptFinishHash");
    decltype(&BCryptDestroyHash) destroyHash = dll.Find<decltype(&BCryptDestroyHash)>("BCryptDestroyHash");
    decltype(&BCryptImportKeyPair) importKey = dll.Find<decltype(&BCryptImportKeyPair)>("BCryptImportKeyPair");
    decltype(&BCryptDestroyKey) destroyKey = dll.Find<decltype(&BCryptDestroyKey)>("BCryptDestroyKey");
    decltype(&BCryptVerifySignature) verify = dll.Find<decltype(&BCryptVerifySignature)>("BCryptVerifySignature");
    decltype(&BCryptSignHash) sign = dll.Find<decltype(&BCryptSignHash)>("BCryptSignHash");
    decltype(&BCryptGenerateKeyPair) generate = dll.Find<decltype(&BCryptGenerateKeyPair)>("BCryptGenerateKeyPair");
    decltype(&BCryptFinalizeKeyPair) finalize = dll.Find<decltype(&BCryptFinalizeKeyPair)>("BCryptFinalizeKeyPair");
    decltype(&BCryptExportKey) exportKey = dll.Find<decltype(&BCryptExportKey)>("BCryptExportKey");

    // Opened once for the process; algorithm handles serve every thread.
    BCRYPT_ALG_HANDLE sha256 = Open(BCRYPT_SHA256_ALGORITHM);
    BCRYPT_ALG_HANDLE ecdsa = Open(BCRYPT_ECDSA_P256_ALGORITHM);

    BCRYPT_ALG_HANDLE Open(const wchar_t* name) const {
        BCRYPT_ALG_HANDLE h = nullptr;
        if (!openAlgorithm || !BCRYPT_SUCCESS(openAlgorithm(&h, name, nullptr, 0))) return nullptr;
        return h;
    }
    bool CanHash() const { return sha256 && createHash && hashData && finishHash && destroyHash; }
    bool CanUseKeys() const { return ecdsa && importKey && destroyKey; }
};

const Cng& Api() {
    static const Cng api;  // thread-safe first use
    return api;
}

void Check(NTSTATUS status, const char* what) {
    if (!BCRYPT_SUCCESS(status)) throw Error(std::string("CNG: ") + what + " failed");
}

// A key handle, destroyed with its owner.
class Key {
public:
    Key() = default;
    ~Key() {
        if (m_key) Api().destroyKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    BCRYPT_KEY_HANDLE* out() { return &m_key; }
    BCRYPT_KEY_HANDLE get() const { return m_key; }

private:
    BCRYPT_KEY_HANDLE m_key = nullptr;
};

// The key blob CNG imports and exports: its header, X, Y and (private) d.
std::vector<unsigned char> Blob(ULONG magic, const PublicKey& point, const unsigned char* scalar) {
    std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 64 + (scalar ? 32 : 0));
    const BCRYPT_ECCKEY_BLOB header{magic, 32};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, point.data(), point.size());
    if (scalar) std::memcpy(blob.data() + sizeof header + 64, scalar, 32);
    return blob;
}

bool Import(const wchar_t* type, std::vector<unsigned char>& blob, Key& key) {
    const Cng& api = Api();
    return api.CanUseKeys() && BCRYPT_SUCCESS(api.importKey(api.ecdsa, nullptr, type, key.out(), blob.data(),
                                                            static_cast<ULONG>(blob.size()), 0));
}

}  // namespace

struct Sha256::State {
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~State() {
        if (hash) Api().destroyHash(hash);
    }
};

Sha256::Sha256() : m_state(std::make_unique<State>()) {
    const Cng& api = Api();
    if (!api.CanHash()) throw Error("CNG: SHA-256 is not available");
    Check(api.createHash(api.sha256, &m_state->hash, nullptr, 0, nullptr, 0, 0), "SHA-256");
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, std::size_t size) {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {  // CNG takes 32-bit counts
        const ULONG piece = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        Check(Api().hashData(m_state->hash, bytes, piece, 0), "SHA-256");
        bytes += piece;
        size -= piece;
    }
}

Digest Sha256::Final() {
    Digest d{};
    Check(Api().finishHash(m_state->hash, d.data(), static_cast<ULONG>(d.size()), 0), "SHA-256");
    return d;
}

bool Verify(const PublicKey& key, const Digest& digest, const Signature& signature) {
    const Cng& api = Api();
    std::vector<unsigned char> blob = Blob(BCRYPT_ECDSA_PUBLIC_P256_MAGIC, key, nullptr);
    Key k;
    if (!api.verify || !Import(BCRYPT_ECCPUBLIC_BLOB, blob, k)) return false;
    return api.verify(k.get(), nullptr, const_cast<PUCHAR>(digest.data()), static_cast<ULONG>(digest.size()),
                      const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()), 0) == 0;
}

PrivateKey GenerateKey() {
    const Cng& api = Api();
    if (!api.CanUseKeys() || !api.generate || !api.finalize || !api.exportKey)
        throw Error("CNG: ECDSA P-256 is not available");
    Key k;
    Check(api.generate(api.ecdsa, k.out(), 256, 0), "making a P-256 key");
    Check(api.finalize(k.get(), 0), "making a P-256 key");
    std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 96);
    ULONG size = 0;
    Check(api.exportKey(k.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(), static_cast<ULONG>(blob.size()), &size,
                        0),
          "exporting the key");
    BCRYPT_ECCKEY_BLOB header;
    std::memcpy(&header, blob.data(), sizeof header);
    if (size != blob.size() || header.cbKey != 32) throw Error("CNG: the exported key is not a P-256 key");
    PrivateKey key;
    std::memcpy(key.point.data(), blob.data() + sizeof header, 64);
    std::memcpy(key.scalar.data(), blob.data() + sizeof header + 64, 32);
    SecureZeroMemory(blob.data(), blob.size());
    return key;
}

Signature Sign(const PrivateKey& key, const Digest& digest) {
    const Cng& api = Api();
    std::vector<unsigned char> blob = Blob(BCRYPT_ECDSA_PRIVATE_P256_MAGIC, key.point, key.scalar.data());
    Key k;
    const bool imported = api.sign && Import(BCRYPT_ECCPRIVATE_BLOB, blob, k);
    SecureZeroMemory(blob.data(), blob.size());
    if (!imported) throw Error("CNG: the private key was refused");
    Signature s{};
    ULONG size = 0;
    Check(api.sign(k.get(), nullptr, const_cast<PUCHAR>(digest.data()), static_cast<ULONG>(digest.size()), s.data(),
                   static_cast<ULONG>(s.size()), &size, 0),
          "signing");
    if (size != s.size()) throw Error("CNG: the signature is not 64 bytes");
    return s;
}

}  // namespace crypto
