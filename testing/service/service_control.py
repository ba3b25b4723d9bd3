"""The test service's control API seen from another process (a test
that did not start the service itself; see run_service.py)."""
import base64
import http.client
import json
import urllib.parse

from service_model import CONTROL_PREFIX, Request, RouteError


class ServiceControl:
    """The control API seen from another process."""

    def __init__(self, port):
        self.port = port

    def _call(self, method, command, body=None, query=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port,
                                                timeout=30)
        try:
            target = CONTROL_PREFIX + command
            if query:
                target += "?" + urllib.parse.urlencode(query)
            payload = json.dumps(body).encode("utf-8") if body is not None \
                else None
            connection.request(method, target, body=payload,
                               headers={"Content-Type": "application/json"})
            response = connection.getresponse()
            answer = json.loads(response.read().decode("utf-8") or "{}")
            if response.status != 200:
                raise RouteError(answer.get("error", str(response.status)))
            return answer
        finally:
            connection.close()

    def info(self):
        return self._call("GET", "info")

    def reset(self):
        self._call("POST", "reset", {})

    def clear_requests(self):
        self._call("POST", "clear_requests", {})

    def add_route(self, host, path, body=None, **options):
        """As WebService.add_route; body as bytes, options as JSON values
        (no handler functions)."""
        value = dict(options, host=host, path=path)
        if body is not None:
            if isinstance(body, str):
                body = body.encode("utf-8")
            value["body_base64"] = base64.b64encode(body).decode("ascii")
        self._call("POST", "routes", value)

    def add_redirect_chain(self, host, path, target, hops=3):
        return self._call("POST", "redirect_chain", {
            "host": host, "path": path, "target": target, "hops": hops})["paths"]

    def requests(self, **filters):
        query = {k: v for k, v in filters.items() if v is not None}
        return [Request.from_json(r) for r in
                self._call("GET", "requests", query=query)["requests"]]
