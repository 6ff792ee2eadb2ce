"""One file fetched as the wizard fetches it: its URL split and its path percent-encoded as the
wizard's request line carries them, only status 200 taken, and the redirects the wizard
follows followed (at most 5, never from https to http), with its size limits."""

import http.client
import ssl

import wizard_rules

TIMEOUT_SECONDS = 30


class Fetched:
    """What a fetch gave: data when the last reply was 200, else problem (why not). over_https:
    every request went over https. url: the last URL asked."""

    def __init__(self, url, data=None, problem=None, over_https=False):
        self.url, self.data, self.problem, self.over_https = url, data, problem, over_https


def _get(url, context, limit):
    """(status, Location or None, body or None when over limit) of one GET of url (a Url)."""
    if url.is_https():
        connection = http.client.HTTPSConnection(url.host_name(), url.port, context=context,
                                                 timeout=TIMEOUT_SECONDS)
    else:
        connection = http.client.HTTPConnection(url.host_name(), url.port,
                                                timeout=TIMEOUT_SECONDS)
    try:
        connection.putrequest("GET", url.request_target(), skip_host=True,
                              skip_accept_encoding=True)
        connection.putheader("Host", url.authority())
        connection.endheaders()
        reply = connection.getresponse()
        if reply.status != 200:
            return reply.status, reply.getheader("Location"), b""
        announced = reply.getheader("Content-Length", "")
        if limit is not None and announced.isdigit() and int(announced) > limit:
            return 200, None, None
        data = reply.read() if limit is None else reply.read(limit + 1)
        return 200, None, None if limit is not None and len(data) > limit else data
    finally:
        connection.close()


def fetch(text, context, limit=None):
    """Fetched for the URL text (one character per byte, see wizard_rules)."""
    every_hop_https = True
    followed = 0
    while True:
        url = wizard_rules.Url(text)
        if not url.supported():
            return Fetched(text, problem='unsupported scheme "%s"' % url.scheme)
        if url.malformed:
            return Fetched(text, problem="a malformed URL (no host, a user part or a bad port)")
        every_hop_https = every_hop_https and url.is_https()
        try:
            status, location, data = _get(url, context, limit)
        except ssl.SSLError as error:
            return Fetched(text, problem="TLS refused: %s" % error)
        except (OSError, http.client.HTTPException) as error:
            return Fetched(text, problem="no reply: %s" % (error or type(error).__name__))
        if status in wizard_rules.REDIRECTS_FOLLOWED and location is not None:
            target, why = wizard_rules.next_redirect(url, location, followed)
            if why:
                return Fetched(text, problem="redirect %d to %s %s" % (status, target or location,
                                                                       why))
            text, followed = target, followed + 1
            continue
        if status != 200:
            return Fetched(text, problem="status %d" % status)
        if data is None:
            return Fetched(text, problem="over %d bytes, which the wizard refuses" % limit)
        return Fetched(text, data=data, over_https=every_hop_https)
