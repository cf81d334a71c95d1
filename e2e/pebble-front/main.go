// Command pebble-front stands between a test ACME server (Pebble) and the
// control server's ACME client where the two differ from a public
// authority, and changes nothing else, so that the authority still
// validates every challenge itself:
//
//   - in front of the directory (LISTEN, TLS), it adds the order's URL as
//     the Location header of the answer to an order's finalization, which
//     Pebble leaves out (RFC 8555 allows it) and the client needs to poll
//     the order;
//   - with HTTP_LISTEN and HTTP_TARGET, it passes the authority's HTTP-01
//     requests on to HTTP_TARGET with the bare name as Host, as a public
//     authority asks; Pebble adds its port, which the client's host check
//     refuses.
//
// Usage: pebble-front LISTEN UPSTREAM CERT KEY CA [HTTP_LISTEN HTTP_TARGET]
package main

import (
	"crypto/tls"
	"crypto/x509"
	"log"
	"net"
	"net/http"
	"net/http/httputil"
	"net/url"
	"os"
	"strings"
)

func main() {
	if len(os.Args) != 6 && len(os.Args) != 8 {
		log.Fatal("usage: pebble-front LISTEN UPSTREAM CERT KEY CA [HTTP_LISTEN HTTP_TARGET]")
	}
	listen, cert, key := os.Args[1], os.Args[3], os.Args[4]
	upstream, err := url.Parse(os.Args[2])
	if err != nil {
		log.Fatal(err)
	}
	pem, err := os.ReadFile(os.Args[5])
	if err != nil {
		log.Fatal(err)
	}
	roots := x509.NewCertPool()
	if !roots.AppendCertsFromPEM(pem) {
		log.Fatal("no certificate in ", os.Args[5])
	}
	if len(os.Args) == 8 {
		go challenges(os.Args[6], os.Args[7])
	}
	proxy := httputil.NewSingleHostReverseProxy(upstream)
	proxy.Transport = &http.Transport{TLSClientConfig: &tls.Config{RootCAs: roots}}
	proxy.ModifyResponse = func(res *http.Response) error {
		req := res.Request
		if id, ok := strings.CutPrefix(req.URL.Path, "/finalize-order/"); ok && res.Header.Get("Location") == "" {
			// The authority builds its URLs from the Host it is asked for,
			// which the proxy passes on.
			res.Header.Set("Location", "https://"+req.Host+"/my-order/"+id)
			log.Printf("finalize-order %s: added its Location", id)
		}
		return nil
	}
	log.Printf("forwarding %s to %s", listen, upstream)
	log.Fatal(http.ListenAndServeTLS(listen, cert, key, proxy))
}

func challenges(listen, target string) {
	to, err := url.Parse(target)
	if err != nil {
		log.Fatal(err)
	}
	proxy := httputil.NewSingleHostReverseProxy(to)
	director := proxy.Director
	proxy.Director = func(r *http.Request) {
		host := r.Host
		director(r)
		if name, _, err := net.SplitHostPort(host); err == nil {
			host = name
		}
		r.Host = host
		log.Printf("HTTP-01 %s for %s", r.URL.Path, host)
	}
	log.Printf("passing HTTP-01 requests on %s to %s", listen, target)
	log.Fatal(http.ListenAndServe(listen, proxy))
}
