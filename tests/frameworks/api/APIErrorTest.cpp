#include <gtest/gtest.h>

#include <QSet>

#include "frameworks/api/APIError.h"

namespace {

constexpr int kKindCount = static_cast<int>(APIError::invalidRequest) + 1;

TEST(APIErrorTest, EveryKindHasItsOwnCodeThatReadsBack) {
    QSet<QString> seen;
    for (int i = 0; i < kKindCount; ++i) {
        const auto kind = static_cast<APIError>(i);
        const QString code = apiErrorCode(kind);
        SCOPED_TRACE(code.toStdString());
        EXPECT_FALSE(code.isEmpty());
        EXPECT_FALSE(seen.contains(code));
        seen.insert(code);
        EXPECT_EQ(apiErrorFromCode(code), kind);
    }
    EXPECT_EQ(apiErrorCode(APIError::noLongerAuthorized), "noLongerAuthorized");
    EXPECT_EQ(apiErrorFromCode("NotFound"), std::nullopt);
    EXPECT_EQ(apiErrorFromCode(""), std::nullopt);
}

TEST(APIErrorTest, HttpStatusesMapToTheirKinds) {
    const struct {
        int status;
        std::optional<APIError> kind;
    } cases[] = {
        {200, std::nullopt},
        {204, std::nullopt},
        {304, std::nullopt},
        {400, APIError::badRequest},
        {401, APIError::unauthorized},
        {403, APIError::forbidden},
        {404, APIError::notFound},
        {409, APIError::conflict},
        {410, APIError::gone},
        {413, APIError::requestEntityTooLarge},
        {415, APIError::unsupportedMediaType},
        {416, APIError::requestedRangeNotSatisfiable},
        {422, APIError::unprocessableEntity},
        {500, APIError::serverError},
        {502, APIError::badGateway},
        {503, APIError::serviceUnavailable},
        {504, APIError::gatewayTimeout},
        {507, APIError::insufficientStorage},
        {418, APIError::unexpectedStatusCode},
        {501, APIError::unexpectedStatusCode},
        {0, APIError::unexpectedStatusCode},
        {700, APIError::unexpectedStatusCode},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        EXPECT_EQ(apiErrorFromHttpStatus(c.status), c.kind);
    }
}

}  // namespace
