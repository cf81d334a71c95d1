// Command acme-location sits in front of a test ACME server that answers an
// order's finalization without the order's URL in a Location header, as
// RFC 8555 allows, and adds it, as public authorities do: the ACME client of
// the control server needs it to poll the order. Every other request and
// answer passes unchanged, so the authority still validates every challenge
// itself.
//
// Usage: acme-location LISTEN UPSTREAM CERT KEY CA
package main

import (
	"crypto/tls"
	"crypto/x509"
	"log"
	"net/http"
	"net/http/httputil"
	"net/url"
	"os"
	"strings"
)

func main() {
	if len(os.Args) != 6 {
		log.Fatal("usage: acme-location LISTEN UPSTREAM CERT KEY CA")
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
	proxy := httputil.NewSingleHostReverseProxy(upstream)
	proxy.Transport = &http.Transport{TLSClientConfig: &tls.Config{RootCAs: roots}}
	director := proxy.Director
	proxy.Director = func(r *http.Request) {
		host := r.Host
		director(r)
		// The authority builds its URLs from the Host it is asked for.
		r.Host = host
	}
	proxy.ModifyResponse = func(res *http.Response) error {
		req := res.Request
		if id, ok := strings.CutPrefix(req.URL.Path, "/finalize-order/"); ok && res.Header.Get("Location") == "" {
			res.Header.Set("Location", "https://"+req.Host+"/my-order/"+id)
			log.Printf("finalize-order %s: added its Location", id)
		}
		return nil
	}
	log.Printf("forwarding %s to %s", listen, upstream)
	log.Fatal(http.ListenAndServeTLS(listen, cert, key, proxy))
}
