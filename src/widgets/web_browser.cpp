#include "web_browser.h"

#include <QAction>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEngineView>

WebBrowser::WebBrowser(QWidget *parent)
    : QWidget(parent), m_toolBar(new QToolBar(this)), m_view(new QWebEngineView(this))
{
    m_toolBar->setIconSize(QSize(22, 22));
    m_toolBar->setAccessibleName(tr("Navigation"));
    m_view->setAccessibleName(tr("Web page"));
    const std::pair<QWebEnginePage::WebAction, const char *> actions[] = {
        {QWebEnginePage::Back, ":/icons/22x22/left_arrow.png"},
        {QWebEnginePage::Forward, ":/icons/22x22/right_arrow.png"},
        {QWebEnginePage::Reload, ":/icons/22x22/refresh.png"},
        {QWebEnginePage::Stop, ":/icons/22x22/stop.png"}};
    for (const auto &[webAction, icon] : actions) {
        QAction *action = m_view->pageAction(webAction);
        action->setIcon(QIcon(QString::fromLatin1(icon)));
        m_toolBar->addAction(action);
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar);
    layout->addWidget(m_view, 1);
}

void WebBrowser::setUrl(const QUrl &url)
{
    m_view->setUrl(url);
}
