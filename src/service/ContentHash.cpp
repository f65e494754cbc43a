#include "service/ContentHash.h"

#include <openssl/evp.h>

#include <cstdlib>

struct ContentHash::Impl {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~Impl() { EVP_MD_CTX_free(context); }
};

ContentHash::ContentHash() : impl_(std::make_unique<Impl>()) {
    // Without a context or SHA-256 nothing can be checked: no upload may pass unverified.
    if (!impl_->context || EVP_DigestInit_ex(impl_->context, EVP_sha256(), nullptr) != 1) std::abort();
}

ContentHash::~ContentHash() = default;

void ContentHash::add(QByteArrayView bytes) {
    if (!bytes.isEmpty() && EVP_DigestUpdate(impl_->context, bytes.data(), std::size_t(bytes.size())) != 1) std::abort();
}

QString ContentHash::hex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(impl_->context, digest, &length) != 1) std::abort();
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex());
}
