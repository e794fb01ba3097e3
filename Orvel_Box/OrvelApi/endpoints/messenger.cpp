#include "EndpointSupport.h"
#include "OrvelApi.h"

using namespace endpoint;

namespace {
QString chat(qint64 chatId) {
    return QStringLiteral("/api/messenger/chats/") + decimal(chatId);
}
QString member(qint64 chatId, qint64 userId) {
    return chat(chatId) + QStringLiteral("/members/") + decimal(userId);
}
QString message(qint64 messageId) {
    return QStringLiteral("/api/messenger/messages/") + decimal(messageId);
}
} // namespace

QCoro::Task<ApiResult> OrvelApi::searchMessengerUsers(QString query) {
    return withoutBody(QStringLiteral("/api/messenger/users/search?query=") + queryEscape(query));
}

QCoro::Task<ApiResult> OrvelApi::getChats() {
    return withoutBody(QStringLiteral("/api/messenger/chats"));
}

QCoro::Task<ApiResult> OrvelApi::createDirectChat(qint64 userId) {
    return sendJson(QStringLiteral("/api/messenger/chats/direct"), kPost,
                    {{QStringLiteral("user_id"), userId}});
}

QCoro::Task<ApiResult> OrvelApi::createChat(QString type, QString title, QList<qint64> memberIds,
                                            std::optional<QString> description) {
    QJsonObject body{{QStringLiteral("type"), type},
                     {QStringLiteral("title"), title},
                     {QStringLiteral("member_ids"), idArray(memberIds)}};
    putIf(body, QStringLiteral("description"), description);
    return sendJson(QStringLiteral("/api/messenger/chats"), kPost, body);
}

QCoro::Task<ApiResult> OrvelApi::getChat(qint64 chatId) {
    return withoutBody(chat(chatId));
}

QCoro::Task<ApiResult> OrvelApi::updateChat(qint64 chatId, std::optional<QString> title,
                                            std::optional<QString> description) {
    QJsonObject body;
    putIf(body, QStringLiteral("title"), title);
    putIf(body, QStringLiteral("description"), description);
    return sendJson(chat(chatId), kPatch, body);
}

QCoro::Task<ApiResult> OrvelApi::uploadChatAvatar(qint64 chatId, QByteArray imageData,
                                                  QString filename, QString mimeType) {
    return sendMultipart(chat(chatId) + QStringLiteral("/avatar"), {},
                         {{QStringLiteral("avatar"), filename, mimeType, imageData}});
}

QCoro::Task<ApiResult> OrvelApi::leaveChat(qint64 chatId) {
    return withoutBody(chat(chatId) + QStringLiteral("/members/me"), kDelete);
}

QCoro::Task<ApiResult> OrvelApi::markChatRead(qint64 chatId, std::optional<qint64> messageId) {
    QJsonObject body;
    putIf(body, QStringLiteral("message_id"), messageId);
    return sendJson(chat(chatId) + QStringLiteral("/read"), kPost, body);
}

QCoro::Task<ApiResult> OrvelApi::getChatMembers(qint64 chatId) {
    return withoutBody(chat(chatId) + QStringLiteral("/members"));
}

QCoro::Task<ApiResult> OrvelApi::addChatMembers(qint64 chatId, QList<qint64> userIds) {
    return sendJson(chat(chatId) + QStringLiteral("/members"), kPost,
                    {{QStringLiteral("user_ids"), idArray(userIds)}});
}

QCoro::Task<ApiResult> OrvelApi::removeChatMember(qint64 chatId, qint64 userId) {
    return withoutBody(member(chatId, userId), kDelete);
}

QCoro::Task<ApiResult> OrvelApi::updateChatMember(qint64 chatId, qint64 userId,
                                                  ChatMemberChanges changes) {
    static const std::pair<const char*, std::optional<bool> ChatMemberChanges::*> flags[] = {
        {"can_send_messages", &ChatMemberChanges::canSendMessages},
        {"can_send_media", &ChatMemberChanges::canSendMedia},
        {"can_add_members", &ChatMemberChanges::canAddMembers},
        {"can_remove_members", &ChatMemberChanges::canRemoveMembers},
        {"can_delete_messages", &ChatMemberChanges::canDeleteMessages},
        {"can_pin_messages", &ChatMemberChanges::canPinMessages},
        {"can_edit_chat_info", &ChatMemberChanges::canEditChatInfo},
        {"is_muted", &ChatMemberChanges::isMuted},
    };
    QJsonObject body;
    putIf(body, QStringLiteral("role"), changes.role);
    for (const auto& [key, flag] : flags)
        putIf(body, QLatin1String(key), changes.*flag);
    return sendJson(member(chatId, userId), kPatch, body);
}

QCoro::Task<ApiResult> OrvelApi::getMessages(qint64 chatId, int limit,
                                             std::optional<qint64> before) {
    QString path = chat(chatId) + QStringLiteral("/messages?limit=") + decimal(limit);
    if (before)
        path += QStringLiteral("&before=") + decimal(*before);
    return withoutBody(path);
}

QCoro::Task<ApiResult> OrvelApi::sendMessage(qint64 chatId, std::optional<QString> text,
                                             std::optional<qint64> replyToId,
                                             QList<ChatMediaFile> media) {
    MultipartFields fields;
    if (text)
        fields.append({QStringLiteral("text"), *text});
    if (replyToId)
        fields.append({QStringLiteral("reply_to_id"), decimal(*replyToId)});
    QList<MultipartFile> files;
    for (const ChatMediaFile& m : media)
        files.append({QStringLiteral("media"), m.filename, m.mimeType, m.data});
    return sendMultipart(chat(chatId) + QStringLiteral("/messages"), fields, files);
}

QCoro::Task<ApiResult> OrvelApi::editMessage(qint64 messageId, QString text) {
    return sendJson(message(messageId), kPatch, {{QStringLiteral("text"), text}});
}

QCoro::Task<ApiResult> OrvelApi::deleteMessage(qint64 messageId) {
    return withoutBody(message(messageId), kDelete);
}
